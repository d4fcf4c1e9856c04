// libFuzzer target: any bytes given to the bitmap decoder.
#include <cstddef>
#include <cstdint>

#include "media/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto pic = media::decodeBmp({data, size});
  // A picture that comes back is whole: every pixel there and readable.
  if (pic && pic->pixels.size() != static_cast<std::size_t>(pic->width) * pic->height)
    __builtin_trap();
  if (pic) (void)pic->at(pic->width - 1, pic->height - 1);
  // The check without the pixels agrees with the decode, size and all.
  const auto checked = media::checkBmp({data, size});
  if (checked.has_value() != pic.has_value()) __builtin_trap();
  if (pic && (checked->width != pic->width || checked->height != pic->height)) __builtin_trap();
  return 0;
}
