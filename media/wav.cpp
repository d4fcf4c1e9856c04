#include "media/wav.h"

#include <algorithm>
#include <cstring>

#include "media/file_read.h"

namespace media {
namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
bool tagIs(std::span<const std::uint8_t> b, std::size_t at, const char* tag) {
  return std::memcmp(b.data() + at, tag, 4) == 0;
}

constexpr std::uint16_t kPcm = 1, kExtensible = 0xfffe;

// The format chunk's body, if it describes plain PCM this program can play.
std::optional<WavInfo> readFormat(std::span<const std::uint8_t> b, std::size_t body,
                                  std::uint32_t size) {
  const std::uint16_t format = u16(b, body);
  // An extensible header names its real format in the first two bytes of its
  // sub-format, 24 bytes into the chunk.
  if (format == kExtensible && (size < 26 || body + 26 > b.size() || u16(b, body + 24) != kPcm))
    return std::nullopt;
  if (format != kPcm && format != kExtensible) return std::nullopt;
  WavInfo info;
  info.channels = u16(b, body + 2);
  const std::uint32_t rate = u32(b, body + 4);
  const std::uint16_t blockAlign = u16(b, body + 12);
  info.bitsPerSample = u16(b, body + 14);
  if (info.channels < 1 || info.channels > 2) return std::nullopt;
  if (rate < kMinSampleRate || rate > kMaxSampleRate) return std::nullopt;
  info.sampleRate = static_cast<int>(rate);
  const int bits = info.bitsPerSample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
  if (blockAlign != info.channels * bits / 8) return std::nullopt;
  return info;
}

}  // namespace

std::int64_t WavInfo::durationMs() const {
  const std::int64_t bytesPerSecond = std::int64_t{sampleRate} * channels * (bitsPerSample / 8);
  return bytesPerSecond > 0 ? std::int64_t{dataBytes} * 1000 / bytesPerSecond : 0;
}

std::optional<WavInfo> parseWav(std::span<const std::uint8_t> b) {
  if (b.size() < 12 || !tagIs(b, 0, "RIFF") || !tagIs(b, 8, "WAVE")) return std::nullopt;
  std::optional<WavInfo> info;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::uint32_t size = u32(b, at + 4);
    const std::size_t body = at + 8;
    if (tagIs(b, at, "fmt ") && size >= 16 && body + 16 <= b.size()) {
      info = readFormat(b, body, size);
      if (!info) return std::nullopt;
    } else if (tagIs(b, at, "data") && info) {
      // A data size beyond the end of the file counts only what is there, in
      // whole frames.
      const std::size_t present = std::min<std::size_t>(size, b.size() - body);
      const std::size_t frame = static_cast<std::size_t>(info->channels) * info->bitsPerSample / 8;
      info->dataOffset = body;
      info->dataBytes = static_cast<std::uint32_t>(present - present % frame);
      if (info->durationMs() > kLongestSoundMs) return std::nullopt;
      return info;
    }
    if (size > b.size() - body) break;
    at = body + size + (size & 1);
  }
  return std::nullopt;
}

std::optional<WavInfo> readWavFile(const std::string& path) {
  auto bytes = readRegularFile(path, kMaxSoundFileBytes);
  return bytes ? parseWav(*bytes) : std::nullopt;
}

std::optional<WaveFile> loadWaveFile(const std::string& path) {
  auto bytes = readRegularFile(path, kMaxSoundFileBytes);
  if (!bytes) return std::nullopt;
  auto info = parseWav(*bytes);
  if (!info) return std::nullopt;
  return WaveFile{*info, std::move(*bytes)};
}

}  // namespace media
