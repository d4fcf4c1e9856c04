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

// Every chunk is walked to the end of the file, so that no part of it can
// say something this check did not read: one format, one data chunk after
// it, and no chunk claiming more bytes than the file holds.
std::optional<WavInfo> parseWav(std::span<const std::uint8_t> b) {
  if (b.size() < 12 || !tagIs(b, 0, "RIFF") || !tagIs(b, 8, "WAVE")) return std::nullopt;
  std::optional<WavInfo> info;
  bool formatSeen = false, dataSeen = false;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::uint32_t size = u32(b, at + 4);
    const std::size_t body = at + 8;
    if (size > b.size() - body) return std::nullopt;
    if (tagIs(b, at, "fmt ")) {
      if (formatSeen || size < 16) return std::nullopt;
      formatSeen = true;
      info = readFormat(b, body, size);
      if (!info) return std::nullopt;
    } else if (tagIs(b, at, "data")) {
      if (!info || dataSeen) return std::nullopt;
      dataSeen = true;
      const std::size_t frame = static_cast<std::size_t>(info->channels) * info->bitsPerSample / 8;
      info->dataOffset = body;
      info->dataBytes = static_cast<std::uint32_t>(size - size % frame);
      if (info->durationMs() > kLongestSoundMs) return std::nullopt;
    }
    at = body + size + (size & 1);
  }
  // A last pad byte may be missing; anything more left over is not a chunk.
  if (at < b.size() && b.size() - at > 1) return std::nullopt;
  if (!dataSeen) return std::nullopt;
  return info;
}

std::vector<std::int16_t> samples16(const WavInfo& info, std::span<const std::uint8_t> b) {
  const std::size_t width = static_cast<std::size_t>(info.bitsPerSample) / 8;
  std::vector<std::int16_t> out(info.dataBytes / width);
  const std::uint8_t* in = b.data() + info.dataOffset;
  for (std::size_t i = 0; i < out.size(); ++i, in += width) {
    // The top sixteen bits of each little-endian sample; 8-bit ones are unsigned.
    out[i] = width == 1 ? static_cast<std::int16_t>((in[0] - 128) * 256)
                        : static_cast<std::int16_t>(in[width - 2] | (in[width - 1] << 8));
  }
  return out;
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
