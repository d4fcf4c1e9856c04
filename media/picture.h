#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace media {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A decoded picture: top row first, left to right.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

using PictureRef = std::shared_ptr<const Picture>;

}  // namespace media
