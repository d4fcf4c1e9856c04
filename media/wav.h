#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace media {

struct WavInfo {
  int sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;
  std::uint32_t dataBytes = 0;
  std::size_t dataOffset = 0;

  std::int64_t durationMs() const;
};

// Reads the header of a PCM wave file; nothing if it is not one.
std::optional<WavInfo> parseWav(std::span<const std::uint8_t> bytes);
std::optional<WavInfo> readWavFile(const std::string& path);

}  // namespace media
