#include "media/wav.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

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

}  // namespace

std::int64_t WavInfo::durationMs() const {
  const std::int64_t bytesPerSecond = std::int64_t{sampleRate} * channels * (bitsPerSample / 8);
  return bytesPerSecond > 0 ? std::int64_t{dataBytes} * 1000 / bytesPerSecond : 0;
}

std::optional<WavInfo> parseWav(std::span<const std::uint8_t> b) {
  if (b.size() < 12 || !tagIs(b, 0, "RIFF") || !tagIs(b, 8, "WAVE")) return std::nullopt;
  WavInfo info;
  bool haveFormat = false;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::uint32_t size = u32(b, at + 4);
    const std::size_t body = at + 8;
    if (tagIs(b, at, "fmt ") && size >= 16 && body + 16 <= b.size()) {
      const std::uint16_t format = u16(b, body);
      if (format != 1 && format != 0xfffe) return std::nullopt;
      info.channels = u16(b, body + 2);
      info.sampleRate = static_cast<int>(u32(b, body + 4));
      info.bitsPerSample = u16(b, body + 14);
      haveFormat = true;
    } else if (tagIs(b, at, "data") && haveFormat) {
      info.dataOffset = body;
      info.dataBytes = static_cast<std::uint32_t>(std::min<std::size_t>(size, b.size() - body));
      if (info.channels <= 0 || info.sampleRate <= 0 || info.bitsPerSample % 8 != 0 ||
          info.bitsPerSample == 0)
        return std::nullopt;
      return info;
    }
    if (size > b.size() - body) break;
    at = body + size + (size & 1);
  }
  return std::nullopt;
}

std::optional<WavInfo> readWavFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // read() turns a read error (a folder, say) into badbit; reading through an
  // istreambuf_iterator would throw instead.
  std::vector<std::uint8_t> bytes;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
  if (in.bad()) return std::nullopt;
  return parseWav(bytes);
}

}  // namespace media
