// The sounds the build made, read back with the program's own wave reader:
// every one the game plays is there, all in one format, and each starts at
// once, is neither silent nor clipped, lasts as long as its moment in the game
// and is heard as loud as the others, with no click at either end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/wav.h"
#include "tests/support/bytes.h"
#include "tools/loudness.h"

namespace {

struct Expected {
  std::string name;
  std::int64_t minMs, maxMs;
  bool speech = true;
};

std::vector<Expected> expectedSounds() {
  std::vector<Expected> sounds;
  for (char c = 'A'; c <= 'Z'; ++c) sounds.push_back({std::string(1, c), 200, 1200});
  sounds.push_back({"yumdir", 1000, 4999});
  sounds.push_back({"yumdir2", 1000, 4999});
  sounds.push_back({"goodjob", 300, 1999});
  sounds.push_back({"ribbit", 1000, 2000, false});
  sounds.push_back({"ribbit2", 600, 2000, false});
  sounds.push_back({"slurp2", 300, 400, false});
  sounds.push_back({"applp", 2000, 3000, false});
  return sounds;
}

struct Sound {
  std::string name;
  media::WavInfo info;
  std::vector<std::int16_t> samples;

  double seconds(std::size_t sample) const { return double(sample) / info.sampleRate; }
};

// The header through media::parseWav, the 16-bit samples read here.
std::optional<Sound> load(const std::string& name) {
  const auto bytes = testing_support::readFile(std::string(YUMBLE_BIN_DIR) + "/" + name + ".wav");
  const auto info = media::parseWav(bytes);
  if (!info || info->bitsPerSample != 16) return std::nullopt;
  Sound sound{name, *info, {}};
  for (std::size_t at = info->dataOffset; at + 1 < info->dataOffset + info->dataBytes; at += 2)
    sound.samples.push_back(static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8)));
  return sound;
}

double dbfs(double level) {
  return 20 * std::log10(std::max(level, 1e-9) / 32768.0);
}

int peak(const Sound& s) {
  int p = 0;
  for (auto x : s.samples) p = std::max(p, std::abs(int{x}));
  return p;
}

// The loudness of each 10 ms block, in dBFS.
std::vector<double> envelope(const Sound& s) {
  const std::size_t block = static_cast<std::size_t>(s.info.sampleRate / 100);
  std::vector<double> levels;
  for (std::size_t start = 0; start + block <= s.samples.size(); start += block) {
    double sum = 0;
    for (std::size_t i = start; i < start + block; ++i) sum += double(s.samples[i]) * s.samples[i];
    levels.push_back(dbfs(std::sqrt(sum / double(block))));
  }
  return levels;
}

// Bursts of sound (above -36 dBFS, 18 dB under speech) parted by at least 40 ms of quiet, in the
// first `share` of the sound.
int bursts(const Sound& s, double share = 1.0) {
  const auto levels = envelope(s);
  int count = 0, quietBlocks = 4;
  for (std::size_t i = 0; static_cast<double>(i) < static_cast<double>(levels.size()) * share;
       ++i) {
    if (levels[i] > -36) {
      if (quietBlocks >= 4) ++count;
      quietBlocks = 0;
    } else {
      ++quietBlocks;
    }
  }
  return count;
}

// Sudden rises a second: 1 ms of sound 6 dB over its recent mean, above
// -45 dBFS, 15 ms after the last (tools/sound_report.sh counts the same).
double onsetsPerSecond(const Sound& s) {
  const auto block = static_cast<std::size_t>(s.info.sampleRate / 1000);
  double mean = 0;
  int count = 0, first = -1, last = -1000;
  for (std::size_t at = 0, ms = 1; at + block <= s.samples.size(); at += block, ++ms) {
    double e = 0;
    for (std::size_t i = at; i < at + block; ++i) e += double(s.samples[i]) * s.samples[i];
    e /= double(block) * 32768.0 * 32768.0;
    if (e > 4 * mean && e > 3e-5 && int(ms) - last >= 15) {
      ++count;
      last = int(ms);
      if (first < 0) first = last;
    }
    mean = 0.95 * mean + 0.05 * e;
  }
  return last > first ? count / ((last - first) / 1000.0) : 0;
}

class Sounds : public ::testing::Test {
 protected:
  // Read once for the whole suite.
  static const std::vector<Sound>& all() {
    static const std::vector<Sound> sounds = [] {
      std::vector<Sound> read;
      for (const auto& e : expectedSounds())
        if (auto s = load(e.name)) read.push_back(std::move(*s));
      return read;
    }();
    return sounds;
  }
  static const Sound& get(const std::string& name) {
    for (const auto& s : all())
      if (s.name == name) return s;
    throw std::runtime_error(name + ".wav did not load");
  }
};

// get() throws for a sound that is missing or not 16-bit. Speech is heard at
// one level, the others no louder; no peak near full scale.
TEST_F(Sounds, EachIsThereInOneFormatStartsAtOnceLastsItsMomentAtItsLevelNoPeakNoClick) {
  for (const auto& e : expectedSounds()) {
    const auto& s = get(e.name);
    EXPECT_EQ(s.info.channels, 1) << e.name;
    EXPECT_EQ(s.info.sampleRate, 44100) << e.name;
    EXPECT_LT(peak(s), 32767) << s.name << " is clipped";
    const auto first = std::find_if(s.samples.begin(), s.samples.end(),
                                    [](std::int16_t x) { return std::abs(int{x}) >= 328; });
    ASSERT_NE(first, s.samples.end()) << s.name << " is silent";
    EXPECT_LE(s.seconds(first - s.samples.begin()), 0.010) << s.name << " starts late";
    EXPECT_GE(s.info.durationMs(), e.minMs) << e.name;
    EXPECT_LE(s.info.durationMs(), e.maxMs) << e.name;
    std::vector<double> x(s.samples.begin(), s.samples.end());
    for (auto& v : x) v /= 32768.0;
    const double lufs = loudness::integratedLufs(x, s.info.sampleRate);
    if (e.speech) {
      EXPECT_NEAR(lufs, -18.0, 1.0) << s.name;
    } else {
      EXPECT_LE(lufs, -18.0) << s.name << " is louder than speech";
    }
    EXPECT_LE(loudness::truePeakDb(x), -1.0) << s.name;
    EXPECT_LE(std::abs(int{s.samples.front()}), 2) << s.name << " starts with a click";
    EXPECT_LE(std::abs(int{s.samples.back()}), 2) << s.name << " ends with a click";
  }
}

TEST_F(Sounds, EachLetterHasItsOwnNameCroaksComeInSeparateCallsApplauseDoesNotStop) {
  for (char a = 'A'; a <= 'Z'; ++a)
    for (char b = a + 1; b <= 'Z'; ++b)
      EXPECT_NE(get(std::string(1, a)).samples, get(std::string(1, b)).samples)
          << a << " and " << b << " sound the same";
  // ribbit: two "rib-bit"s; ribbit2: three.
  EXPECT_EQ(bursts(get("ribbit")), 4);
  EXPECT_EQ(bursts(get("ribbit2")), 6);
  EXPECT_EQ(bursts(get("slurp2")), 1);
  // Many hands: never 40 ms of quiet until the last few stop clapping.
  EXPECT_EQ(bursts(get("applp"), 0.7), 1);
  // ...and each clap heard: not a wash of noise, nor the crowd in step.
  EXPECT_GT(onsetsPerSecond(get("applp")), 12.0);
}

}  // namespace
