// Reading a file whole, and only a regular file of bounded size: anything else
// fails at once, the way a missing file does.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "media/asset_path.h"
#include "media/file_read.h"
#include "tests/support/headless_env.h"

namespace {

struct FileRead : ::testing::Test {
  testing_support::GameFolder folder;
  std::string path(const std::string& name) const { return folder.file(name); }
};

TEST_F(FileRead, ReadsARegularFileUpToItsBoundAndNothingElseFromTheInstalledFolderIfAny) {
  std::ofstream(path("ten")) << "0123456789";
  const auto bytes = media::readRegularFile(path("ten"), 10);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "0123456789");
  EXPECT_FALSE(media::readRegularFile(path("ten"), 9));
  // Into a buffer handed back, longer and full of older bytes: those go.
  std::vector<std::uint8_t> old(4096, 'x');
  const std::uint8_t* memory = old.data();
  media::giveBack(std::move(old));
  const auto again = media::readRegularFile(path("ten"), 10, true);
  ASSERT_TRUE(again);
  EXPECT_EQ(std::string(again->begin(), again->end()), "0123456789");
  EXPECT_EQ(again->data(), memory);
  std::ofstream(path("empty")).flush();
  EXPECT_EQ(media::readRegularFile(path("empty"), 10), std::vector<std::uint8_t>{});

  // Anything but a regular file fails without waiting.
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0644), 0);  // no writer: opening it would wait
  std::filesystem::create_directory(path("folder"));
  std::filesystem::create_symlink("/dev/zero", path("zero"));
  std::filesystem::create_symlink(path("pipe"), path("link-to-pipe"));
  std::ofstream(path("huge")).flush();
  std::filesystem::resize_file(path("huge"), std::uintmax_t{1} << 30);  // sparse
  for (const char* name : {"missing", "pipe", "folder", "zero", "link-to-pipe", "huge"})
    EXPECT_FALSE(media::readRegularFile(path(name), media::kMaxPictureFileBytes)) << name;

  // Installed, the files live apart from the program; in a build, beside it.
  const std::string games = path("games");
  std::filesystem::create_directory(games);
  EXPECT_EQ(media::dataDirectory(games, "../share/games/yumble"), games);
  std::filesystem::create_directories(path("share/games/yumble"));
  EXPECT_EQ(media::dataDirectory(games, "../share/games/yumble"), path("share/games/yumble"));
}

TEST_F(FileRead, AFileThatCannotBeOpenedFails) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser may open any file";
  std::ofstream(path("secret")) << "x";
  std::filesystem::permissions(path("secret"), std::filesystem::perms::none);
  EXPECT_FALSE(media::readRegularFile(path("secret"), 10));
}
}  // namespace
