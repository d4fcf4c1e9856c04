// Every file the game reads while it runs, damaged every way we know,
// with the real loaders on the virtual clock: a damaged picture is reported as
// a missing or an invalid one, a damaged sound is silent, and nothing waits
// longer than the intact file would have made it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>

#include "game/frm_main.h"
#include "media/file_read.h"
#include "tests/support/headless_env.h"

using testing_support::Bytes;
using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::with32;

namespace {

using testing_support::kOpeningEnd;

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
  for (int i = 0; i < 10 && !frm.Label1.caption().empty(); ++i)
    testing_support::eatShownLetter(env, frm);
  env.backend.closeRequest(env.windows.nowMs() + 10, frm);
  Outcome out;
  if (env.windows.runUntil(env.windows.nowMs() + 100000)) out.endedAt = env.windows.nowMs();
  // Message boxes are kept apart, so that an invalid picture can be compared
  // with a missing one.
  for (const auto& e : env.backend.record())
    if (e.what != testing_support::What::MessageBox)
      out.record.push_back(std::to_string(e.t) + " " + e.text());
  out.boxes = env.backend.boxes();
  return out;
}

bool isPicture(const std::string& name) {
  return name.ends_with(".bmp");
}

// How the game must take a damaged file.
enum class Expect {
  AsMissing,  // exactly as if the file were not there
  AsInvalid,  // a picture: reported as invalid, otherwise as missing
  AsIntact,   // the damage does not matter
};

struct Damage {
  const char* name;
  std::function<void(const std::string& path, const Bytes& intact)> apply;
  Expect picture, sound;
};

const std::vector<Damage>& damages() {
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
       Expect::AsInvalid, Expect::AsMissing},
      {"random bytes",
       [](auto& p, auto& b) {
         std::mt19937 random(7);
         Bytes noise(b.size());
         for (auto& x : noise) x = static_cast<std::uint8_t>(random());
         testing_support::writeFile(p, noise);
       },
       Expect::AsInvalid, Expect::AsMissing},
      // The file replaced by something else.
      {"a named pipe",
       [](auto& p, auto&) { ASSERT_TRUE(std::filesystem::remove(p) && !mkfifo(p.c_str(), 0644)); },
       Expect::AsMissing, Expect::AsMissing},
      {"a folder",
       [](auto& p, auto&) { std::filesystem::remove(p), std::filesystem::create_directory(p); },
       Expect::AsMissing, Expect::AsMissing},
      {"a link to /dev/zero",
       [](auto& p, auto&) {
         std::filesystem::remove(p), std::filesystem::create_symlink("/dev/zero", p);
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
       Expect::AsIntact, Expect::AsMissing},
      // A sound that says two things: a second format chunk, at a tenth of
      // the rate, before the data (a picture is left as it is).
      {"a second header",
       [](auto& p, auto& b) {
         if (isPicture(p)) return;
         Bytes two(b.begin(), b.begin() + 36);
         two.insert(two.end(), b.begin() + 12, b.begin() + 36);
         two.insert(two.end(), b.begin() + 36, b.end());
         testing_support::writeFile(p, with32(with32(two, 48, 4410), 52, 8820));
       },
       Expect::AsIntact, Expect::AsMissing},
  };
  return all;
}

// Opened in the run: "read f1.bmp", "sound FileName=A.wav".
bool opens(const Outcome& run, const std::string& file) {
  const std::string as = isPicture(file) ? " read " + file : " sound FileName=" + file;
  return std::any_of(run.record.begin(), run.record.end(),
                     [&](const std::string& line) { return line.ends_with(as); });
}

// The letters' sounds the run opens, each once, in order.
std::vector<std::string> letterSounds(const Outcome& run) {
  std::vector<std::string> files;
  for (const std::string& line : run.record) {
    const std::size_t at = line.find(" sound FileName=");
    const std::string file = at == std::string::npos ? "" : line.substr(at + 16);
    if (file.size() == 5 && std::find(files.begin(), files.end(), file) == files.end())
      files.push_back(file);
  }
  return files;
}

// One row per file the game reads in a ten-letter game, so that the rows run
// apart: every picture and fixed sound, and the letters' sounds by their
// place among those the seeded generator chooses.
struct DamagedFiles : ::testing::TestWithParam<std::string> {};

TEST_P(DamagedFiles, EachEndsAsTheGameExpectsAndNeverWaitsLonger) {
  GameFolder intactFolder;
  const Outcome intact = playTenLetters(intactFolder.path());
  ASSERT_GT(intact.endedAt, 0);
  ASSERT_TRUE(intact.boxes.empty());

  std::string file = GetParam();
  if (file.starts_with("letter ")) {
    const auto letters = letterSounds(intact);
    const auto n = std::stoul(file.substr(7));
    ASSERT_LE(n, letters.size()) << "the run says only " << letters.size() << " letters";
    file = letters[n - 1];
  }
  ASSERT_TRUE(opens(intact, file)) << file << " is never opened: its damage could not show";

  GameFolder missingFolder;
  missingFolder.remove(file);
  const Outcome missing = playTenLetters(missingFolder.path());
  ASSERT_GT(missing.endedAt, 0) << file;

  for (const auto& damage : damages()) {
    SCOPED_TRACE(file + " as " + damage.name);
    GameFolder folder;
    damage.apply(folder.file(file), testing_support::readFile(folder.file(file)));
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
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    , DamagedFiles,
    ::testing::Values("f1.bmp", "f2.bmp", "f3.bmp", "f4.bmp", "f5.bmp", "f6.bmp", "f7.bmp",
                      "talk0.bmp", "talk1.bmp", "talk2.bmp", "ribbit.wav", "ribbit2.wav",
                      "slurp2.wav", "yumdir.wav", "yumdir2.wav", "applp.wav", "goodjob.wav",
                      "letter 1", "letter 2", "letter 3", "letter 4", "letter 5", "letter 6",
                      "letter 7", "letter 8", "letter 9", "letter 10"),
    [](const auto& row) {
      std::string name = row.param;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
      return name;
    });

}  // namespace
