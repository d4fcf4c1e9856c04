#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace media {

// What a wave file's header says, checked against what the file holds.
struct WavInfo {
  int sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;
  // Whole frames only.
  std::uint32_t dataBytes = 0;
  std::size_t dataOffset = 0;

  // How long the sound lasts, from what the file really holds; never more
  // than kLongestSoundMs for a file parseWav accepted.
  std::int64_t durationMs() const;
};

// The limits of a plausible sound for this program; anything outside them is
// not a sound it can play. The longest sound today lasts 4.4 s.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 192000;
inline constexpr std::int64_t kLongestSoundMs = 60000;

// Reads the header of a PCM wave file; nothing if it is not one, if any of
// its values is implausible (rate, channels, bits, block size, length), or if
// the file could be read two ways (two format or data chunks, a chunk longer
// than the file).
std::optional<WavInfo> parseWav(std::span<const std::uint8_t> bytes);
// The same for a file, read with the sound files' size bound: nothing for a
// file that is missing, not a regular file, too large or not a wave.
std::optional<WavInfo> readWavFile(const std::string& path);

// The samples of a file parseWav accepted, exactly those it checked, as
// signed 16-bit values at the file's own rate, interleaved as in the file.
// May throw std::bad_alloc.
std::vector<std::int16_t> samples16(const WavInfo& info, std::span<const std::uint8_t> bytes);

// A wave file's bytes with the header already found plausible.
struct WaveFile {
  WavInfo info;
  std::vector<std::uint8_t> bytes;
};
std::optional<WaveFile> loadWaveFile(const std::string& path);

}  // namespace media
