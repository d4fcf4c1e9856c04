// The sound channel over the silent device on a virtual clock, and wave headers.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/base/clock.h"
#include "media/silent_audio.h"
#include "media/sound_channel.h"
#include "media/wav.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/headless_env.h"

using Strings = std::vector<std::string>;

namespace {

using testing_support::FakeClock;

struct Channel : ::testing::Test {
  // The game's own files serve: ribbit.wav is long, slurp2.wav short.
  static constexpr int kLongMs = testing_support::GameFolder::kRibbitMs;
  static constexpr int kShortMs = testing_support::GameFolder::kSlurpMs;

  FakeClock clock;
  media::SilentAudio audio{clock};
  std::unique_ptr<media::AudioOutput> output = audio.newOutput();
  media::AudioOutput* device = output.get();  // the channel's, for the test to ask afterwards
  Strings heard;
  media::SoundChannel mm{std::move(output), [this](const media::SoundNote& n) {
                           heard.push_back(testing_support::soundLine(n));
                         }};
  testing_support::GameFolder folder;

  Channel() {
    std::ofstream(folder.file("garbage.wav")) << "this is not a wave file at all, not even close";
    mm.setDeviceType("WaveAudio");
  }

  void openFile(const std::string& name) {
    mm.setFileName(folder.file(name));
    mm.command("Open");
  }
  void playWaiting() {
    mm.setWait(true);
    mm.command("Play");
  }
};

TEST_F(Channel, WaitAppliesToTheNextCommandOnly) {
  mm.setWait(true);
  openFile("ribbit.wav");
  EXPECT_TRUE(mm.isOpen());
  EXPECT_FALSE(mm.wait());
  mm.command("Play");  // Wait was used up by Open
  EXPECT_EQ(clock.now, 0);

  playWaiting();
  EXPECT_EQ(clock.now, kLongMs);
  EXPECT_FALSE(mm.wait());
  mm.command("Play");
  EXPECT_EQ(clock.now, kLongMs);

  // The record shows the wait on the command it applied to.
  EXPECT_EQ(Strings(heard.begin() + 1, heard.end()),
            (Strings{"Wait=on", "FileName=ribbit.wav", "Open (wait)", "Play", "Wait=on",
                     "Play (wait)", "Play"}));
}

TEST_F(Channel, PlayWithWaitHoldsTheClockFromTheSoundsStartWithoutItRunsItsLengthUntilClosed) {
  openFile("slurp2.wav");
  mm.command("Play");
  clock.now += 100;
  playWaiting();  // starts over
  EXPECT_EQ(clock.now, 100 + kShortMs);
  mm.command("Close");
  playWaiting();
  EXPECT_EQ(clock.now, 100 + kShortMs);
  // Reopened, it plays what is named now.
  openFile("ribbit.wav");
  playWaiting();
  const std::int64_t t = 100 + kShortMs + kLongMs;
  EXPECT_EQ(clock.now, t);
  // Without Wait a sound runs its full length unless closed.
  mm.command("Play");
  EXPECT_EQ(clock.now, t);
  clock.now += 200;
  device->waitUntilDone();
  EXPECT_EQ(clock.now, t + kLongMs);
  mm.command("Play");
  clock.now += 200;
  mm.command("Close");
  EXPECT_FALSE(mm.isOpen());
  device->waitUntilDone();
  EXPECT_EQ(clock.now, t + kLongMs + 200);
}

TEST_F(Channel, FailingCommandsDoNothingUseUpTheWaitAndTheChannelStaysUsable) {
  EXPECT_NO_THROW(mm.command("Close"));  // nothing open
  EXPECT_NO_THROW(openFile("missing.wav"));
  EXPECT_FALSE(mm.isOpen());
  EXPECT_NO_THROW(playWaiting());
  EXPECT_EQ(clock.now, 0);
  EXPECT_NO_THROW(openFile("garbage.wav"));
  EXPECT_FALSE(mm.isOpen());
  EXPECT_NO_THROW(mm.setFileName(folder.path()));  // a folder
  EXPECT_NO_THROW(mm.command("Open"));
  EXPECT_FALSE(mm.isOpen());
  EXPECT_NO_THROW(playWaiting());
  EXPECT_EQ(clock.now, 0);
  EXPECT_FALSE(mm.wait());

  openFile("slurp2.wav");
  EXPECT_TRUE(mm.isOpen());
  mm.command("Play");
  EXPECT_EQ(clock.now, 0);
  playWaiting();
  EXPECT_EQ(clock.now, kShortMs);
}

TEST_F(Channel, NamesAreNotCaseSensitiveUnknownCommandsDoNothingOnlyTheWaveDeviceOpens) {
  mm.setFileName(folder.file("slurp2.wav"));
  mm.command("open");
  EXPECT_TRUE(mm.isOpen());
  mm.setWait(true);
  mm.command("pLAY");
  EXPECT_EQ(clock.now, kShortMs);
  mm.command("CLOSE");
  EXPECT_FALSE(mm.isOpen());
  mm.command("Opening");
  mm.command("Op");
  mm.command("");
  EXPECT_FALSE(mm.isOpen());
  mm.command("Open");
  mm.command("Closed");
  mm.command("Stop");
  EXPECT_TRUE(mm.isOpen());

  for (const char* other : {"Sequencer", "CDAudio", "AVIVideo", "WaveAudio2"}) {
    mm.command("Close");
    mm.setDeviceType(other);
    openFile("slurp2.wav");
    EXPECT_FALSE(mm.isOpen()) << other;
  }
  mm.setDeviceType("waveaudio");
  openFile("slurp2.wav");
  EXPECT_TRUE(mm.isOpen());
}

using testing_support::Bytes;
using testing_support::put32;
using testing_support::waveBytes;

// A missing file reads as nothing.
TEST(WaveHeader, ReadsRateChannelsBitsDurationWholeFramesPastOtherChunksAndExtensiblePcm) {
  EXPECT_FALSE(media::readWavFile("/nonexistent/yumble/none.wav"));
  auto info =
      media::parseWav(waveBytes({.rate = 44100, .channels = 2, .bits = 16, .dataBytes = 88200}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->sampleRate, 44100);
  EXPECT_EQ(info->channels, 2);
  EXPECT_EQ(info->bitsPerSample, 16);
  EXPECT_EQ(info->dataBytes, 88200u);
  EXPECT_EQ(info->dataOffset, 44u);
  EXPECT_EQ(info->durationMs(), 500);

  info = media::parseWav(waveBytes({.rate = 8000, .channels = 1, .bits = 8, .dataBytes = 12000}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->durationMs(), 1500);

  std::vector<std::uint8_t> list;
  testing_support::putText(list, "LIST");
  put32(list, 5);
  list.insert(list.end(), {'a', 'b', 'c', 'd', 'e', 0});  // odd size, one pad byte
  info = media::parseWav(waveBytes({.rate = 22050, .dataBytes = 4410}, list));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->sampleRate, 22050);
  EXPECT_EQ(info->dataOffset, 44u + list.size());
  EXPECT_EQ(info->durationMs(), 100);

  // Whole frames only.
  info = media::parseWav(waveBytes({.channels = 2, .dataBytes = 4003}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->dataBytes, 4000u);
  // An extensible header is played only when its sub-format is PCM.
  auto extensible = [](std::uint8_t subFormat) {
    Bytes b = waveBytes({.dataBytes = 16});
    testing_support::set32(b, 16, 40);  // the format chunk's size
    b[20] = 0xfe, b[21] = 0xff;
    // Its own size, the valid bits, the channel mask, then the 16-byte sub-format.
    Bytes more(24, 0);
    more[0] = 22, more[2] = 16, more[4] = 4, more[8] = subFormat;
    b.insert(b.begin() + 36, more.begin(), more.end());
    return b;
  };
  EXPECT_TRUE(media::parseWav(extensible(1)));
  EXPECT_FALSE(media::parseWav(extensible(3)));  // floating point
}

// What is played is what was checked: a file that could be read two ways is
// no sound at all.
TEST(WaveHeader, RefusesTwoWaysToReadImplausibleValuesACutHeaderAndAllButPcmWaves) {
  EXPECT_FALSE(media::parseWav(waveBytes({.dataBytes = 8000, .declaredData = 16000})));
  // Short by a single byte, where a byte is a whole 8-bit frame.
  EXPECT_FALSE(media::parseWav(waveBytes({.bits = 8, .dataBytes = 8001, .declaredData = 8002})));
  auto twice = waveBytes({.rate = 8000});
  const Bytes header(twice.begin() + 12, twice.begin() + 36), data(twice.begin() + 36, twice.end());
  EXPECT_FALSE(media::parseWav(waveBytes({.rate = 44100}, header)));  // two format chunks
  twice.insert(twice.end(), data.begin(), data.end());
  EXPECT_FALSE(media::parseWav(twice));  // two data chunks
  // In 8-bit mono a byte is a whole frame: an odd count is exactly what counts.
  const auto info = media::parseWav(waveBytes({.bits = 8, .dataBytes = 8001}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->dataBytes, 8001u);

  // Values no sound of this program can have make the file unreadable, so that
  // nothing waits on what they would imply (one sample a second: hours).
  for (int rate : {1, 7999, 192001})
    EXPECT_FALSE(media::parseWav(waveBytes({.rate = rate}))) << rate;
  for (int rate : {8000, 192000}) EXPECT_TRUE(media::parseWav(waveBytes({.rate = rate}))) << rate;
  EXPECT_FALSE(media::parseWav(waveBytes({.channels = 3})));
  for (int bits : {8, 24, 32}) EXPECT_TRUE(media::parseWav(waveBytes({.bits = bits}))) << bits;
  auto badBlock = waveBytes({});
  badBlock[32] = 7;  // block size: 2 bytes a frame, said to be 7
  EXPECT_FALSE(media::parseWav(badBlock));
  // Longer than a minute is not one of this program's sounds.
  EXPECT_TRUE(media::parseWav(waveBytes({.rate = 8000, .bits = 8, .dataBytes = 480000})));
  EXPECT_FALSE(media::parseWav(waveBytes({.rate = 8000, .bits = 8, .dataBytes = 480008})));

  // Cut anywhere, a header is rejected without reading past it.
  auto good = waveBytes({.dataBytes = 0});
  ASSERT_EQ(good.size(), 44u);
  ASSERT_TRUE(media::parseWav(good));
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(media::parseWav(testing_support::Exactly(good, n))) << n << " bytes";

  auto notRiff = good;
  std::memcpy(notRiff.data(), "RIFX", 4);
  EXPECT_FALSE(media::parseWav(notRiff));
  auto notWave = good;
  std::memcpy(notWave.data() + 8, "AVI ", 4);
  EXPECT_FALSE(media::parseWav(notWave));

  EXPECT_FALSE(media::parseWav(waveBytes({.bits = 32, .format = 3})));  // floating point
  EXPECT_FALSE(media::parseWav(waveBytes({.bits = 4, .format = 2})));   // ADPCM
  EXPECT_FALSE(media::parseWav(waveBytes({.channels = 0})));
  EXPECT_FALSE(media::parseWav(waveBytes({.rate = 0})));
  EXPECT_FALSE(media::parseWav(waveBytes({.bits = 0})));
  EXPECT_FALSE(media::parseWav(waveBytes({.bits = 12})));

  // Chunk sizes beyond the file.
  auto b = waveBytes({});
  testing_support::set32(b, 16, 0xfffffff0u);  // the format chunk's size
  EXPECT_FALSE(media::parseWav(b));
  std::vector<std::uint8_t> list;
  testing_support::putText(list, "LIST");
  put32(list, 0xffffffffu);
  EXPECT_FALSE(media::parseWav(waveBytes({}, list)));
}

}  // namespace
