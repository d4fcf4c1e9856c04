// The SDL_mixer sound device, on SDL's silent dummy driver, waited on with a
// virtual clock: the real sound goes on playing while virtual time flies.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <sys/stat.h>
#include <cstdint>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/sdl/mixer_audio.h"
#include "tests/support/fake_clock.h"
#include "tests/support/headless_env.h"

namespace {

using VirtualClock = testing_support::FakeClock;

struct MixerAudioTest : ::testing::Test {
  static constexpr int kSoundMs = 3000;

  MixerAudioTest() {
    // Never out loud, even where there is a sound card.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    audio = sdl::MixerAudio::open(clock);
    testing_support::writeWav(file("long.wav"), kSoundMs, 22050);
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
  std::unique_ptr<media::AudioSystem> audio;
};

TEST_F(MixerAudioTest, WaitingHoldsWhileTheSoundPlaysButNeverPastItsLengthAndASecond) {
  ASSERT_TRUE(audio);
  auto out = audio->newOutput();
  ASSERT_TRUE(out->open(file("long.wav")));
  ASSERT_TRUE(out->play());
  out->waitUntilDone();
  // The sound is still playing in real time, so only the safety cap ends the
  // wait, in steps that let the screen repaint.
  EXPECT_GE(clock.now, kSoundMs + 1000);
  EXPECT_LE(clock.now, kSoundMs + 1000 + 5);
  EXPECT_EQ(clock.now, clock.blocks * 5);
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

// A driver named in the environment that cannot open gives way to the silent one.
TEST(MixerAudioFallBack, ADriverThatFailsGivesWayToTheDummy) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  VirtualClock c;
  EXPECT_TRUE(sdl::MixerAudio::open(c));
  setenv("SDL_AUDIODRIVER", "dummy", 1);
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
