// The sound card through SDL's audio, on SDL's silent dummy driver, waited on
// with a virtual clock: the real sound goes on playing while virtual time
// flies, unless a test waits for it on a real clock.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <SDL.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/base/bell.h"
#include "app/sdl/mixer_audio.h"
#include "tests/support/fake_clock.h"
#include "tests/support/headless_env.h"

namespace {

using VirtualClock = testing_support::FakeClock;

// Real time for waits on a bell, counted from 0; nothing else blocks here.
// Counts the waits that ended before their cap, rung by their sound's end.
struct RealClock : base::Clock {
  int rung = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::int64_t nowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  }
  void block(std::int64_t ms) override { SDL_Delay(static_cast<Uint32>(ms)); }
  void blockUntil(base::Bell& bell, std::int64_t ms) override { rung += bell.waitFor(ms); }
};

struct MixerAudioTest : ::testing::Test {
  static constexpr int kSoundMs = 3000;
  static constexpr int kShortMs = 150;

  MixerAudioTest() {
    // Never out loud, even where there is a sound card.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    audio = sdl::MixerAudio::open(clock, std::chrono::milliseconds(50));
    testing_support::writeWav(file("long.wav"), kSoundMs, 22050);
    testing_support::writeWav(file("short.wav"), kShortMs, 22050);
    std::ofstream(file("text.wav")) << "not a wave file at all";
  }
  ~MixerAudioTest() override {
    audio.reset();
    std::filesystem::remove_all(dir);
  }
  std::string file(const std::string& name) const { return (dir / name).string(); }

  std::filesystem::path dir = [] {
    std::string name = (std::filesystem::temp_directory_path() / "yumble-mixer-XXXXXX").string();
    return std::filesystem::path(mkdtemp(name.data()));
  }();
  VirtualClock clock;
  std::unique_ptr<sdl::MixerAudio> audio;
};

TEST_F(MixerAudioTest, WaitingHoldsWhileTheSoundPlaysButNeverPastItsLengthAndASecond) {
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  ASSERT_TRUE(out->open(file("long.wav")));
  ASSERT_TRUE(out->play());
  out->waitUntilDone();
  // The sound is still playing in real time, so only the safety cap ends the
  // wait, and in one piece: nothing polls.
  EXPECT_GE(clock.now, kSoundMs + 1000 - 2);
  EXPECT_LE(clock.now, kSoundMs + 1000 + 2);
  EXPECT_EQ(clock.blocks, 1);
}

// The card is let go after 50 ms of silence here and comes back for the next
// sound, not for a mere opening; each wait ends with its sound, long before
// the cap.
TEST_F(MixerAudioTest, AWaitEndsWithItsSoundAndTheIdleCardIsLetGoAndTakenBack) {
  RealClock real;
  audio.reset();
  audio = sdl::MixerAudio::open(real, std::chrono::milliseconds(50));
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  ASSERT_TRUE(out->open(file("short.wav")));
  const auto released = [&] { return !audio->holdsCard(); };
  for (int round = 0; round < 2; ++round) {
    const std::int64_t start = real.nowMs();
    ASSERT_TRUE(out->play()) << "round " << round;
    out->waitUntilDone();
    EXPECT_GE(real.nowMs() - start, kShortMs - 50);
    EXPECT_EQ(real.rung, round + 1) << "the wait ran to its cap";
    for (int i = 0; i < 300 && !released(); ++i) SDL_Delay(10);
    ASSERT_TRUE(released()) << "round " << round;
  }
  auto other = audio->newOutput();
  EXPECT_TRUE(other->open(file("long.wav")));
  EXPECT_TRUE(released());
}

TEST_F(MixerAudioTest, AClosedSoundIsNotWaitedForAndCannotPlay) {
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  ASSERT_TRUE(out->open(file("long.wav")));
  ASSERT_TRUE(out->play());
  out->close();
  out->waitUntilDone();
  EXPECT_EQ(clock.now, 0);
  EXPECT_FALSE(out->play());
  out->close();
  // It opens again after closing.
  EXPECT_TRUE(out->open(file("long.wav")));
  EXPECT_TRUE(out->play());
}

TEST_F(MixerAudioTest, FailuresAreQuiet) {
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  EXPECT_FALSE(out->play());
  out->waitUntilDone();
  EXPECT_FALSE(out->open(file("missing.wav")));
  EXPECT_FALSE(out->play());
  EXPECT_FALSE(out->open(file("text.wav")));
  EXPECT_FALSE(out->play());
  out->waitUntilDone();
  out->close();
  EXPECT_EQ(clock.now, 0);
}

// The mixer never opens a file itself: what is not a plain, plausible wave file
// fails at once, and a header's lies cost nothing.
TEST_F(MixerAudioTest, PipesDevicesAndLyingHeadersFailAtOnce) {
  ASSERT_TRUE(audio);
  ASSERT_EQ(mkfifo(file("pipe.wav").c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", file("zero.wav"));
  testing_support::writeWav(file("rate1.wav"), 100, 8000);
  {
    std::fstream f(file("rate1.wav"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(24).write("\1\0\0\0\2\0\0\0", 8);  // one sample a second
  }
  auto out = audio->newOutput();
  for (const char* name : {"pipe.wav", "zero.wav", "rate1.wav"}) {
    EXPECT_FALSE(out->open(file(name))) << name;
    EXPECT_FALSE(out->play()) << name;
    out->waitUntilDone();
  }
  EXPECT_EQ(clock.now, 0);
}

TEST(MixerSamples, LoudSoundsTogetherClipAndAMonoSoundReachesBothChannels) {
  std::vector<std::int16_t> out(4, 0);
  const std::int16_t mono[] = {30000, -30000};
  sdl::mixSound(out.data(), mono, 1, 2);
  EXPECT_EQ(out, (std::vector<std::int16_t>{30000, 30000, -30000, -30000}));
  const std::int16_t stereo[] = {30000, 100, -30000, -100};
  sdl::mixSound(out.data(), stereo, 2, 2);
  EXPECT_EQ(out, (std::vector<std::int16_t>{32767, 30100, -32768, -30100}));
}

// A driver named in the environment that cannot open: the game is told, and a
// wait lasts its sound's length on the game's clock, not a second more. (The
// host is started at the first sound, with the environment of then.)
TEST_F(MixerAudioTest, ADriverThatFailsLeavesEachWaitItsSoundsLength) {
  // Virtual time, but a wait on a bell ends when it rings.
  struct : VirtualClock {
    void blockUntil(base::Bell& bell, std::int64_t ms) override {
      if (!bell.waitFor(10000)) block(ms);
    }
  } eventClock;
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  audio = sdl::MixerAudio::open(eventClock);
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  ASSERT_TRUE(out->open(file("short.wav")));
  ASSERT_TRUE(out->play());
  out->waitUntilDone();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_NEAR(static_cast<double>(eventClock.now), kShortMs, 1);
}

TEST_F(MixerAudioTest, EachOutputHasAChannelOfItsOwn) {
  ASSERT_TRUE(audio);
  // More outputs than SDL_mixer's first eight channels, all playing at once.
  std::vector<std::unique_ptr<media::AudioOutput>> outs;
  for (int i = 0; i < 12; ++i) {
    outs.push_back(audio->newOutput());
    ASSERT_TRUE(outs.back()->open(file("long.wav")));
    ASSERT_TRUE(outs.back()->play()) << "output " << i;
  }
  // Closing one stops only its own sound: the first is still playing.
  outs.back()->close();
  outs.pop_back();
  outs.front()->waitUntilDone();
  EXPECT_GE(clock.now, kSoundMs + 1000);
}

}  // namespace
#endif
