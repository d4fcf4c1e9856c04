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
  return 0;
}
