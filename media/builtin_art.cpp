#include "media/builtin_art.h"

#include "media/bitmap.h"
#include "media/picture_scale.h"

namespace media::art {

PictureRef picture(std::span<const std::uint8_t> bytes) {
  auto pic = decodePicture(bytes);
  return std::make_shared<const Picture>(pic ? std::move(*pic) : Picture{});
}

PictureRef picture(const Drawing& drawing, double scale) {
  const int set = pictureSetFor(scale);
  const Bytes larger = set == 2 ? drawing.twice : set == 3 ? drawing.thrice : nullptr;
  auto pic = decodeForScale(drawing.design(), larger ? larger() : std::span<const std::uint8_t>{},
                            set, scale);
  return std::make_shared<const Picture>(pic ? std::move(*pic) : Picture{});
}

}  // namespace media::art
