#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "media/picture.h"

namespace media {

// Decodes a Windows bitmap: 1, 4, 8 (plain or RLE8), 24 or 32 bits per pixel.
// Returns nothing for anything it cannot read safely.
std::optional<Picture> decodeBmp(std::span<const std::uint8_t> bytes);

// Everything decodeBmp checks, without the pixels: the size of a bitmap that
// would decode, or nothing. `bytes` may be the start of a file `total` bytes
// long: enough for an uncompressed bitmap (kBitmapStartBytes hold its header
// and colours), not for a compressed one.
std::optional<Picture> checkBmp(std::span<const std::uint8_t> bytes, std::size_t total = 0);
inline constexpr std::size_t kBitmapStartBytes = 2048;

// Reads a bitmap file, drawn for a screen `scale` times the designs' size: from
// the larger set beside it when there is one (see picture_scale.h). Throws
// Failure 53 when the bitmap cannot be opened and 481 when it is not a picture
// this program can show.
PictureRef loadPictureFile(const std::string& path, double scale = 1);

// Picture loading as a service, so that a test can watch which files are read.
// Pictures come drawn for a screen `scale` times the designs' size.
class PictureLoader {
 public:
  explicit PictureLoader(double scale = 1) : scale_(scale) {}
  virtual ~PictureLoader() = default;
  virtual PictureRef load(const std::string& path) = 0;
  double scale() const { return scale_; }

 private:
  double scale_;
};

class FilePictureLoader : public PictureLoader {
 public:
  using PictureLoader::PictureLoader;
  PictureRef load(const std::string& path) override { return loadPictureFile(path, scale()); }
};

}  // namespace media
