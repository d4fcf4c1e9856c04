#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/base/rgb.h"

namespace media {

using base::Rgb;

struct LaterFit;  // see picture_scale.h

// A decoded picture: top row first, left to right.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  // Its size in the designs, in pixels of the 800 x 600 screen they were made
  // for, when it was drawn larger for a larger screen; 0 means its own size.
  int designWidth = 0;
  int designHeight = 0;
  // For a larger screen: how to draw it there, worked out when it is first
  // shown (onScreen in picture_scale.h), which is where its pixels are then;
  // none when it shows as it is.
  std::shared_ptr<LaterFit> later;

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  int layoutWidth() const { return designWidth > 0 ? designWidth : width; }
  int layoutHeight() const { return designHeight > 0 ? designHeight : height; }
};

using PictureRef = std::shared_ptr<const Picture>;

}  // namespace media
