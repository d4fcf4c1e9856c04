// Every file the game reads while it runs, damaged every way we know,
// with the real loaders on the virtual clock: a damaged picture is reported as
// a missing or an invalid one, a damaged sound is silent, and nothing waits
// longer than the intact file would have made it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "game/frm_main.h"
#include "media/file_read.h"
#include "tests/support/headless_env.h"

using testing_support::Bytes;
using testing_support::GameFolder;
using testing_support::HeadlessEnv;

namespace {

constexpr std::int64_t kOpeningEnd =
    16 * 150 + 2000 + GameFolder::kDirectionsMs + GameFolder::kDirections2Ms;

struct Outcome {
  std::vector<std::string> record;  // "time text", every line
  std::vector<std::string> boxes;   // "title|text"
  std::int64_t endedAt = -1;
};

// Ten letters (so the reward comes too), then a close request.
Outcome playTenLetters(const std::string& dir) {
  HeadlessEnv env{dir};
  game::FrmMain frm{env.services};
  env.windows.start(frm);
  env.windows.runUntil(kOpeningEnd + 100);
  for (int i = 0; i < 10 && !frm.Label1.caption().empty(); ++i) {
    const std::int64_t at = env.windows.nowMs() + 10;
    env.backend.type(at, frm, frm.Label1.caption());
    env.windows.runUntil(at + 1);
    for (int guard = 0; guard < 1000 && (frm.Eating || frm.Timer1.enabled()); ++guard)
      env.windows.runUntil(env.windows.nowMs() + 50);
  }
  env.backend.closeRequest(env.windows.nowMs() + 10, frm);
  Outcome out;
  if (env.windows.runUntil(env.windows.nowMs() + 100000)) out.endedAt = env.windows.nowMs();
  // Message boxes are kept apart, so that an invalid picture can be compared
  // with a missing one.
  for (const auto& e : env.backend.record())
    if (e.what != testing_support::What::MessageBox)
      out.record.push_back(std::to_string(e.t) + " " + e.text());
  for (const auto& b : env.backend.messageBoxes()) out.boxes.push_back(b.title + "|" + b.text);
  return out;
}

Bytes readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
Bytes with32(Bytes b, std::size_t at, std::uint32_t v) {
  std::memcpy(b.data() + at, &v, 4);
  return b;
}
bool isPicture(const std::string& name) {
  return name.ends_with(".bmp");
}

// How the game must take a damaged file.
enum class Expect {
  AsMissing,           // exactly as if the file were not there
  AsInvalid,           // a picture: reported as invalid, otherwise as missing
  AsIntact,            // the damage does not matter
  NoLongerThanIntact,  // a sound cut short: plays what is there
};

struct Damage {
  const char* name;
  std::function<void(const std::string& path, const Bytes& intact)> apply;
  Expect picture, sound;
};

const std::vector<Damage>& damages() {
  auto replace = [](const std::string& p) { std::filesystem::remove(p); };
  static const std::vector<Damage> all = {
      {"empty", [](auto& p, auto&) { testing_support::writeFile(p, {}); }, Expect::AsInvalid,
       Expect::AsMissing},
      {"cut in the header",
       [](auto& p, auto& b) { testing_support::writeFile(p, Bytes(b.begin(), b.begin() + 30)); },
       Expect::AsInvalid, Expect::AsMissing},
      {"cut in half",
       [](auto& p, auto& b) {
         testing_support::writeFile(p, Bytes(b.begin(), b.begin() + b.size() / 2));
       },
       Expect::AsInvalid, Expect::NoLongerThanIntact},
      {"random bytes",
       [](auto& p, auto& b) {
         std::mt19937 random(7);
         Bytes noise(b.size());
         for (auto& x : noise) x = static_cast<std::uint8_t>(random());
         testing_support::writeFile(p, noise);
       },
       Expect::AsInvalid, Expect::AsMissing},
      {"a named pipe",
       [=](auto& p, auto&) {
         replace(p);
         ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
       },
       Expect::AsMissing, Expect::AsMissing},
      {"a folder",
       [=](auto& p, auto&) {
         replace(p);
         std::filesystem::create_directory(p);
       },
       Expect::AsMissing, Expect::AsMissing},
      {"a link to /dev/zero",
       [=](auto& p, auto&) {
         replace(p);
         std::filesystem::create_symlink("/dev/zero", p);
       },
       Expect::AsMissing, Expect::AsMissing},
      {"larger than any of its kind",
       [](auto& p, auto&) {
         std::filesystem::resize_file(
             p, (isPicture(p) ? media::kMaxPictureFileBytes : media::kMaxSoundFileBytes) + 1);
       },
       Expect::AsMissing, Expect::AsMissing},
      // Pictures: 16384 x 16384; sounds: one sample a second.
      {"a header lying about its size or rate",
       [](auto& p, auto& b) {
         testing_support::writeFile(p, isPicture(p) ? with32(with32(b, 18, 16384), 22, 16384)
                                                    : with32(with32(b, 24, 1), 28, 2));
       },
       Expect::AsInvalid, Expect::AsMissing},
      {"a header claiming more data than there is",
       [](auto& p, auto& b) {
         testing_support::writeFile(p, with32(b, isPicture(p) ? 34 : 40, 0xffffffffu));
       },
       Expect::AsIntact, Expect::AsIntact},
  };
  return all;
}

// Every file the game reads while it runs.
std::vector<std::string> runTimeFiles() {
  std::vector<std::string> files;
  for (int i = 1; i <= 7; ++i) files.push_back("f" + std::to_string(i) + ".bmp");
  for (int i = 0; i <= 2; ++i) files.push_back("talk" + std::to_string(i) + ".bmp");
  for (char c = 'A'; c <= 'Z'; ++c) files.push_back(std::string(1, c) + ".wav");
  for (const char* name : {"ribbit.wav", "ribbit2.wav", "slurp2.wav", "yumdir.wav", "yumdir2.wav",
                           "applp.wav", "goodjob.wav"})
    files.push_back(name);
  return files;
}

TEST(DamagedFiles, EachEndsAsTheGameExpectsAndNeverWaitsLonger) {
  GameFolder intactFolder;
  const Outcome intact = playTenLetters(intactFolder.path());
  ASSERT_GT(intact.endedAt, 0);
  ASSERT_TRUE(intact.boxes.empty());

  for (const std::string& file : runTimeFiles()) {
    GameFolder missingFolder;
    missingFolder.remove(file);
    const Outcome missing = playTenLetters(missingFolder.path());
    ASSERT_GT(missing.endedAt, 0) << file;

    for (const auto& damage : damages()) {
      SCOPED_TRACE(file + " as " + damage.name);
      GameFolder folder;
      damage.apply(folder.file(file), readAll(folder.file(file)));
      const Outcome got = playTenLetters(folder.path());
      ASSERT_GT(got.endedAt, 0) << "the close request did not end it";
      switch (isPicture(file) ? damage.picture : damage.sound) {
        case Expect::AsMissing:
          EXPECT_EQ(got.record, missing.record);
          EXPECT_EQ(got.boxes, missing.boxes);
          break;
        case Expect::AsInvalid:
          EXPECT_EQ(got.record, missing.record);
          EXPECT_EQ(got.boxes,
                    (std::vector<std::string>{"ERROR:  481|Form_Load: \nInvalid picture"}));
          break;
        case Expect::AsIntact:
          EXPECT_EQ(got.record, intact.record);
          EXPECT_TRUE(got.boxes.empty());
          break;
        case Expect::NoLongerThanIntact:
          EXPECT_TRUE(got.boxes.empty());
          EXPECT_LE(got.endedAt, intact.endedAt);
          EXPECT_GE(got.endedAt, missing.endedAt);
          break;
      }
    }
  }
}

}  // namespace
