#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "media/picture.h"

namespace media {

// The "Quite OK Image" format: lossless, a few bytes per run of flat colour or
// gentle shading, so the larger drawings of the game stay small on disk.

// Pictures larger than this are refused before any memory is taken: the
// biggest the game draws is 1200 x 1395.
inline constexpr int kQoiMaxSide = 8192;
inline constexpr std::int64_t kQoiMaxPixels = std::int64_t{4096} * 4096;

// Nothing for anything that is not a whole picture within those limits.
std::optional<Picture> decodeQoi(std::span<const std::uint8_t> bytes);

// The size a QOI picture claims, when its header is sound and the data long
// enough to hold it; the pixels themselves are checked only by decoding.
std::optional<Picture> checkQoi(std::span<const std::uint8_t> bytes);

// A QOI picture decoded a row at a time, so that one to be resampled need
// not be held whole first.
class QoiRows {
 public:
  struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
  };
  // Nothing where checkQoi refuses the bytes.
  static std::optional<QoiRows> open(std::span<const std::uint8_t> bytes);
  int width() const { return width_; }
  int height() const { return height_; }
  // The next row's `width()` pixels; false where the data falls short.
  bool next(Rgb* row);

 private:
  std::span<const std::uint8_t> bytes_;
  int width_ = 0, height_ = 0;
  std::array<Rgba, 64> seen_{};
  Rgba px_;
  std::size_t at_ = 0;
  int run_ = 0;
};

// Three channels, opaque; the format's own reference encoder makes the same bytes.
std::vector<std::uint8_t> encodeQoi(const Picture& picture);

}  // namespace media
