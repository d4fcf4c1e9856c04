#include "media/builtin_art.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "media/bitmap.h"
#include "media/picture_scale.h"

namespace media::art {
namespace {

// The artwork is read only while a picture is made from it; afterwards its
// pages are let go (they stay in the page cache, whence the next picture
// reads them again), so that the game does not keep every set of every
// drawing mapped for the few it showed. The kernel maps a whole cached folio
// of the program file at one touch, most of the artwork at once. Only pages
// wholly within the artwork go: they are read-only copies of the file.
void letGo() {
  const auto all = everything();
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(all.data()) + page - 1) / page * page;
  const auto to = reinterpret_cast<std::uintptr_t>(all.data() + all.size()) / page * page;
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

}  // namespace

PictureRef picture(std::span<const std::uint8_t> bytes) {
  auto pic = decodePicture(bytes);
  letGo();
  return std::make_shared<const Picture>(pic ? std::move(*pic) : Picture{});
}

PictureRef picture(const Drawing& drawing, double scale) {
  const int set = pictureSetFor(scale);
  const Bytes larger = set == 2 ? drawing.twice : set == 3 ? drawing.thrice : nullptr;
  auto pic = decodeForScale(drawing.design(), larger ? larger() : std::span<const std::uint8_t>{},
                            set, scale);
  letGo();
  if (pic && pic->later) pic->later->read = letGo;  // fitted when first shown
  return std::make_shared<const Picture>(pic ? std::move(*pic) : Picture{});
}

}  // namespace media::art
