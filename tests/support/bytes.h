#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

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
  const auto riff = static_cast<std::uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i)
    b[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(riff >> (8 * i));
  return b;
}

inline void writeFile(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace testing_support
