#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/base/rgb.h"

namespace testing_support {

// Little-endian byte writers, for the files the tests make: bitmaps, waves.
using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 255));
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 255));
}

inline void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}

inline void putText(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}

// Overwrites the four bytes at `at`.
inline void set32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A copy of b with one four-byte field changed.
inline Bytes with32(Bytes b, std::size_t at, std::uint32_t v) {
  set32(b, at, v);
  return b;
}

// The first n bytes of b in a block of exactly that size, so that the
// sanitizer catches a read past them.
class Exactly {
 public:
  Exactly(const Bytes& b, std::size_t n)
      : copy_(std::make_unique<std::uint8_t[]>(n ? n : 1)), size_(n) {
    std::copy_n(b.begin(), n, copy_.get());
  }
  operator std::span<const std::uint8_t>() const { return {copy_.get(), size_}; }

 private:
  std::unique_ptr<std::uint8_t[]> copy_;
  std::size_t size_;
};

// A wave file's bytes: RIFF header, any extra chunk, "fmt ", then silent data.
struct WavSpec {
  int rate = 8000, channels = 1, bits = 16, format = 1;
  std::uint32_t dataBytes = 1600;
  std::uint32_t declaredData = 0;  // the data chunk's size field, when not dataBytes
};

inline Bytes waveBytes(const WavSpec& s, const Bytes& extraChunk = {}) {
  const auto u = [](int v) { return static_cast<std::uint32_t>(v); };
  Bytes b;
  b.reserve(64 + extraChunk.size() + s.dataBytes);
  putText(b, "RIFF");
  put32(b, 0);
  putText(b, "WAVE");
  b.insert(b.end(), extraChunk.begin(), extraChunk.end());
  putText(b, "fmt ");
  put32(b, 16);
  put16(b, u(s.format));
  put16(b, u(s.channels));
  put32(b, u(s.rate));
  put32(b, u(s.rate * s.channels * s.bits / 8));
  put16(b, u(s.channels * s.bits / 8));
  put16(b, u(s.bits));
  putText(b, "data");
  put32(b, s.declaredData ? s.declaredData : s.dataBytes);
  b.resize(b.size() + s.dataBytes, 0);
  set32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
  return b;
}

// A bitmap file's bytes: headers, palette, then the pixel data exactly as given.
inline Bytes bmpBytes(int width, int height, int bits, const std::vector<base::Rgb>& palette,
                      const Bytes& data, std::uint32_t compression = 0) {
  const auto u = [](auto v) { return static_cast<std::uint32_t>(v); };
  const std::uint32_t offset = 54 + u(palette.size()) * 4;
  Bytes b;
  b.reserve(offset + data.size());
  putText(b, "BM");
  for (std::uint32_t v : {offset + u(data.size()), 0u, offset, 40u, u(width), u(height)})
    put32(b, v);
  put16(b, 1);
  put16(b, u(bits));
  for (std::uint32_t v : {compression, u(data.size()), 2835u, 2835u, u(palette.size()), 0u})
    put32(b, v);
  for (const base::Rgb& c : palette) b.insert(b.end(), {c.b, c.g, c.r, 0});
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// Empty when the file cannot be read.
inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace testing_support
