#pragma once

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

// Three channels, opaque; the format's own reference encoder makes the same bytes.
std::vector<std::uint8_t> encodeQoi(const Picture& picture);

}  // namespace media
