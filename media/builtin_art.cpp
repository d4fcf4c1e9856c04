#include "media/builtin_art.h"

#include "media/bitmap.h"

namespace media::art {

PictureRef picture(std::span<const std::uint8_t> bmp) {
  auto pic = decodeBmp(bmp);
  return std::make_shared<const Picture>(pic ? std::move(*pic) : Picture{});
}

}  // namespace media::art
