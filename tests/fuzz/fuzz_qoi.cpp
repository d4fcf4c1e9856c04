// libFuzzer target: any bytes given to the decoder of the larger drawings.
#include <cstddef>
#include <cstdint>

#include "media/qoi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto picture = media::decodeQoi({data, size});
  if (!picture) return 0;
  // What is accepted has every pixel, within the limits, and encodes back to
  // a file that decodes to the same picture.
  const auto pixels = static_cast<std::int64_t>(picture->width) * picture->height;
  if (pixels > media::kQoiMaxPixels || picture->pixels.size() != static_cast<std::size_t>(pixels))
    __builtin_trap();
  const auto again = media::decodeQoi(media::encodeQoi(*picture));
  if (!again || again->pixels != picture->pixels) __builtin_trap();
  return 0;
}
