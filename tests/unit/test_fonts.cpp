// The designs' font names, found through the program's fonts.conf.
#include <sys/stat.h>

#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <filesystem>
#include <fstream>
#include <string>

#include "app/sdl/fonts.h"
#include "media/asset_path.h"

namespace {

std::string fileName(const std::optional<sdl::FontFile>& f) {
  return f ? std::filesystem::path(f->path).filename().string() : "(none)";
}

// The build puts fonts.conf beside the program, and the tests beside it too.
struct FontsTest : ::testing::Test {
  sdl::FontFinder fonts{media::programDirectory() + "/fonts.conf"};
};

TEST_F(FontsTest, TheProgramRulesAreRead) {
  EXPECT_TRUE(fonts.hasProgramRules());
}

TEST_F(FontsTest, CenturyGothicIsUrwGothicBookOrDemi) {
  EXPECT_EQ(fileName(fonts.find("Century Gothic", 400)), "URWGothic-Book.otf");
  EXPECT_EQ(fileName(fonts.find("Century Gothic", 600)), "URWGothic-Demi.otf");
}

TEST_F(FontsTest, CenturySchoolbookIsC059) {
  EXPECT_EQ(fileName(fonts.find("Century Schoolbook", 600)), "C059-Bold.otf");
  EXPECT_EQ(fileName(fonts.find("Century Schoolbook", 400)), "C059-Roman.otf");
}

TEST_F(FontsTest, ComicSansIsComicNeueWithItsRealBold) {
  EXPECT_EQ(fileName(fonts.find("Comic Sans MS", 700)), "ComicNeue-Bold.otf");
  EXPECT_EQ(fileName(fonts.find("Comic Sans MS", 400)), "ComicNeue-Regular.otf");
}

TEST_F(FontsTest, TheDefaultFontIsAPlainSans) {
  EXPECT_EQ(fileName(fonts.find("MS Sans Serif", 400)), "DejaVuSans.ttf");
}

TEST_F(FontsTest, AnUnknownNameStillGivesAFont) {
  auto f = fonts.find("No Such Font Anywhere", 400);
  ASSERT_TRUE(f);
  EXPECT_TRUE(std::filesystem::exists(f->path));
}

TEST(FontsWithoutRules, ARelativeOrMissingConfigFallsBackToTheSystem) {
  sdl::FontFinder relative("fonts.conf");
  EXPECT_FALSE(relative.hasProgramRules());
  sdl::FontFinder missing("/nonexistent/fonts.conf");
  EXPECT_FALSE(missing.hasProgramRules());
  // Without the rules, the names do not reach URW Gothic.
  EXPECT_NE(fileName(missing.find("Century Gothic", 600)), "URWGothic-Demi.otf");
  EXPECT_TRUE(missing.find("Century Gothic", 600));
}

// In place of the rules, a named pipe with no writer, a device or a huge file
// is a file that cannot be read, at once.
TEST(FontsWithoutRules, APipeADeviceOrAHugeFileIsNotRead) {
  char pattern[] = "/tmp/yumble-fonts-XXXXXX";
  ASSERT_TRUE(mkdtemp(pattern));
  const std::string dir = pattern;
  ASSERT_EQ(mkfifo((dir + "/pipe.conf").c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", dir + "/zero.conf");
  std::ofstream(dir + "/huge.conf").flush();
  std::filesystem::resize_file(dir + "/huge.conf", std::uintmax_t{1} << 30);
  for (const char* name : {"/pipe.conf", "/zero.conf", "/huge.conf"})
    EXPECT_FALSE(sdl::FontFinder(dir + name).hasProgramRules()) << name;
  std::filesystem::remove_all(dir);
}

}  // namespace
#endif
