#pragma once

#include <optional>
#include <span>
#include <string>

#include "media/picture.h"

namespace media {

// Beside each picture NAME.bmp drawn for the designs' 800 x 600 screen, the
// build draws NAME@2x.qoi and NAME@3x.qoi at two and three times its size,
// so that a larger screen shows sharp pictures rather than enlarged pixels.
inline constexpr int kLargestSet = 3;

// The set to draw from at a scale: the smallest at or above it, else the largest.
int pictureSetFor(double scale);

// "dir/NAME.bmp" becomes "dir/NAME@2x.qoi" for set 2.
std::string largerSetPath(const std::string& bmpPath, int set);

// Each new pixel is the mean of the old pixels it covers, each in proportion
// to how much of it is covered: a smooth reduction without the shimmer of
// skipped pixels, and a mild enlargement that blurs only the seams.
Picture resample(const Picture& p, int width, int height);

// A picture drawn at `set` times its design size, brought to `scale` times
// that size; it keeps its design size for the layout. Nothing when its sides
// are not whole multiples of the set.
std::optional<Picture> fitToScale(Picture p, int set, double scale);

// A QOI picture or a bitmap, whichever the bytes hold.
std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes);

// Decodes a drawing in the set the scale calls for: the design's own picture
// for set 1, the larger set's QOI bytes otherwise, falling back to the
// design's picture when those are missing or unreadable. Nothing when the
// design's picture itself will not decode.
std::optional<Picture> decodeForScale(std::span<const std::uint8_t> design,
                                      std::span<const std::uint8_t> larger, int set, double scale);

}  // namespace media
