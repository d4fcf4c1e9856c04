// The costliest files the loaders still accept, and what they cost: run by
// hand (build/bin/worst_files), it prints time and peak memory for each.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/bitmap.h"
#include "media/wav.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// 1.3 KB of RLE8 "move 255 rows down" for the largest picture there may be.
Bytes largestRle8() {
  Bytes b{'B', 'M'};
  for (std::uint32_t v : {0u, 0u, 54u + 8u, 40u, 4096u, 2048u}) put32(b, v);
  b.insert(b.end(), {1, 0, 8, 0});
  for (std::uint32_t v : {1u, 0u, 0u, 0u, 2u, 0u, 0x00ff00u, 0xff0000u}) put32(b, v);
  for (int i = 0; i < 320; ++i) b.insert(b.end(), {0, 2, 0, 255});
  return b;
}

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

template <typename F>
void measure(const char* what, F f) {
  const auto t = std::chrono::steady_clock::now();
  const bool ok = f();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
  std::printf("%-52s %s %8.1f ms, peak %ld KB\n", what, ok ? "read" : "refused", ms, peakKb());
}

}  // namespace

int main() {
  const Bytes rle = largestRle8();
  measure("RLE8 4096 x 2048 from 1.3 KB", [&] { return media::decodeBmp(rle).has_value(); });
  Bytes huge = rle;
  huge[18] = 0, huge[19] = 0x40, huge[22] = 0, huge[23] = 0x40;  // 16384 x 16384
  measure("RLE8 claiming 16384 x 16384", [&] { return media::decodeBmp(huge).has_value(); });

  // The longest sound accepted: a minute of 8 kHz 8-bit mono.
  const std::string path = "/tmp/yumble-worst.wav";
  {
    Bytes w{'R', 'I', 'F', 'F'};
    put32(w, 36 + 480000);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    for (std::uint32_t v : {16u, 0x00010001u, 8000u, 8000u, 0x00080001u}) put32(w, v);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put32(w, 480000);
    w.resize(w.size() + 480000, 128);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(w.data()), static_cast<std::streamsize>(w.size()));
  }
  measure("wave: a minute at 8 kHz, 8-bit mono", [&] {
    const auto info = media::readWavFile(path);
    if (info) std::printf("  lasts %lld ms\n", static_cast<long long>(info->durationMs()));
    return info.has_value();
  });
  std::remove(path.c_str());
}
