#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/base/rgb.h"

namespace media {

using base::Rgb;

// A decoded picture: top row first, left to right.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

using PictureRef = std::shared_ptr<const Picture>;

}  // namespace media
