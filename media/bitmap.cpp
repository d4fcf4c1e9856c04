#include "media/bitmap.h"

#include <algorithm>
#include <vector>

#include "app/base/failure.h"
#include "media/file_read.h"
#include "media/picture_scale.h"

namespace media {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> b) : b_(b) {}
  bool has(std::size_t at, std::size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  std::uint32_t u16(std::size_t at) const { return b_[at] | (b_[at + 1] << 8); }
  std::uint32_t u32(std::size_t at) const {
    return b_[at] | (b_[at + 1] << 8) | (b_[at + 2] << 16) | (std::uint32_t{b_[at + 3]} << 24);
  }
  std::uint8_t byte(std::size_t at) const { return b_[at]; }

 private:
  std::span<const std::uint8_t> b_;
};

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kBitfields = 3;
// The largest picture this program shows: 8 Mpixels (a 4K screen, 3840 x 2160,
// fits), 24 MB once decoded. The game's own are about 0.1 Mpixels; a set for
// big screens at three times the size each way would be about 1 Mpixel.
constexpr int kMaxSide = 8192;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 23;

int shiftOf(std::uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++s;
  return s;
}

// Walks RLE8 data, bottom row first as stored, calling plot(x, storedRow,
// index) for each pixel it gives; pixels it skips keep index 0. Every step
// reads at least two bytes, so the walk is bounded by the data. False if the
// data is broken or stops before the last row.
template <typename Plot>
bool walkRle8(const Reader& r, std::size_t at, std::size_t end, int w, int h, Plot plot) {
  std::int64_t x = 0, y = 0;
  while (at + 1 < end && y < h) {
    const std::uint8_t n = r.byte(at), v = r.byte(at + 1);
    at += 2;
    if (n > 0) {
      for (int i = 0; i < n && x < w; ++i) plot(x++, y, v);
    } else if (v == 0) {
      x = 0, ++y;
    } else if (v == 1) {
      return true;
    } else if (v == 2) {
      if (at + 1 >= end) return false;
      x += r.byte(at), y += r.byte(at + 1);
      at += 2;
    } else {
      if (at + v > end) return false;
      for (int i = 0; i < v && x < w; ++i) plot(x++, y, r.byte(at + i));
      at += v + (v & 1);
    }
  }
  // Data that stops without the end-of-picture mark is whole only if every row came.
  return y >= h;
}

// The whole picture, or with `pixels` false only its size once every check
// a decode makes has passed; then `bytes` may be only the start of a file
// `total` bytes long, which is enough for an uncompressed bitmap.
std::optional<Picture> readBmp(std::span<const std::uint8_t> bytes, bool pixels,
                               std::size_t total) {
  Reader r(bytes);
  if (!r.has(0, 54) || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const std::uint32_t dataOffset = r.u32(10);
  const std::uint32_t headerSize = r.u32(14);
  if (headerSize < 40 || !r.has(14, headerSize)) return std::nullopt;
  const auto width = static_cast<std::int32_t>(r.u32(18));
  const auto rawHeight = static_cast<std::int32_t>(r.u32(22));
  const std::uint32_t bits = r.u16(28);
  const std::uint32_t compression = r.u32(30);
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      std::int64_t{width} * height > kMaxPixels)
    return std::nullopt;
  const int h = static_cast<int>(height);

  // Every index a byte can hold, so a stray one reads black.
  std::array<Rgb, 256> palette{};
  if (bits <= 8) {
    std::uint32_t colours = r.u32(46);
    if (colours == 0) colours = 1u << bits;
    if (colours > 256) return std::nullopt;
    const std::size_t at = 14 + headerSize;
    if (!r.has(at, colours * 4)) return std::nullopt;
    for (std::uint32_t i = 0; i < colours; ++i)
      palette[i] = {r.byte(at + i * 4 + 2), r.byte(at + i * 4 + 1), r.byte(at + i * 4)};
  }
  auto paletteAt = [&](std::uint32_t i) { return palette[i & 0xff]; };

  Picture pic;
  pic.width = width;
  pic.height = h;
  auto put = [&](int x, int storedRow, Rgb c) {
    const int y = topDown ? storedRow : h - 1 - storedRow;
    pic.pixels[static_cast<std::size_t>(y) * width + x] = c;
  };

  if (compression == kRle8) {
    if (bits != 8 || topDown || total != bytes.size()) return std::nullopt;
    // Checked whole before anything is allocated, so broken data costs nothing.
    auto nowhere = [](std::int64_t, std::int64_t, std::uint8_t) {};
    if (!walkRle8(r, dataOffset, bytes.size(), width, h, nowhere)) return std::nullopt;
    if (!pixels) return pic;
    pic.pixels.assign(static_cast<std::size_t>(width) * h, paletteAt(0));
    walkRle8(r, dataOffset, bytes.size(), width, h,
             [&](std::int64_t x, std::int64_t row, std::uint8_t i) {
               put(static_cast<int>(x), static_cast<int>(row), paletteAt(i));
             });
    return pic;
  }

  const bool bitfields = compression == kBitfields && (bits == 32 || bits == 16);
  if (compression != kRgb && !bitfields) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  if (dataOffset > total || stride * h > total - dataOffset) return std::nullopt;
  std::uint32_t masks[3] = {0xff0000, 0xff00, 0xff};
  if (bitfields) {
    if (!r.has(54, 12)) return std::nullopt;
    for (int i = 0; i < 3; ++i) masks[i] = r.u32(54 + 4 * i);
  }
  if (!pixels) return pic;
  if (total != bytes.size()) return std::nullopt;
  // Allocated only now, so a short file that claims a huge size costs nothing.
  pic.pixels.resize(static_cast<std::size_t>(width) * h);
  for (int row = 0; row < h; ++row) {
    const std::size_t line = dataOffset + stride * static_cast<std::size_t>(row);
    // The common depths a row at a time: the game's pictures are read at start-up.
    Rgb* out = pic.pixels.data() + static_cast<std::size_t>(topDown ? row : h - 1 - row) *
                                       static_cast<std::size_t>(width);
    const std::uint8_t* in = bytes.data() + line;
    if (bits == 24) {
      for (int x = 0; x < width; ++x, in += 3) out[x] = {in[2], in[1], in[0]};
      continue;
    }
    if (bits == 8) {
      for (int x = 0; x < width; ++x) out[x] = palette[in[x]];
      continue;
    }
    for (int x = 0; x < width; ++x) {
      if (bits == 32) {
        const std::uint32_t v = r.u32(line + x * 4);
        auto channel = [&](std::uint32_t m) {
          return static_cast<std::uint8_t>(m ? (v & m) >> shiftOf(m) : 0);
        };
        put(x, row, {channel(masks[0]), channel(masks[1]), channel(masks[2])});
      } else {
        const std::size_t bit = static_cast<std::size_t>(x) * bits;
        const std::uint8_t b = r.byte(line + bit / 8);
        const std::uint32_t index = (b >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        put(x, row, paletteAt(index));
      }
    }
  }
  return pic;
}

}  // namespace

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> bytes) {
  return readBmp(bytes, true, bytes.size());
}

std::optional<Picture> checkBmp(std::span<const std::uint8_t> bytes, std::size_t total) {
  return readBmp(bytes, false, std::max(total, bytes.size()));
}

PictureRef loadPictureFile(const std::string& path, double scale) {
  // Whatever cannot be read as a regular file of a picture's size fails as a
  // missing file does; a larger set that cannot be read is only not used.
  const int set = pictureSetFor(scale);
  // Bytes kept to be fitted later go back to be read into again once fitted.
  const bool later = set > 1 || scale != 1.0;
  auto larger = set > 1 ? readRegularFile(largerSetPath(path, set), kMaxPictureFileBytes, true)
                        : std::nullopt;
  std::optional<std::vector<std::uint8_t>> bmp;
  if (larger) {
    // The larger set is shown: of an uncompressed bitmap its header and its
    // length say whether it is whole, and the rest is read only if the set
    // cannot be shown (the frog's frames are read at every eating tick, at
    // 3840x2160 300 KB of bitmap beside 130 KB of the set).
    auto start = readFileStart(path, kMaxPictureFileBytes, kBitmapStartBytes);
    if (!start) throw base::fileNotFound();
    if (start->bytes.size() < start->size) {
      if (auto pic = decodeForScale(std::move(*start), path, std::move(*larger), set, scale))
        return std::make_shared<const Picture>(std::move(*pic));
      larger = readRegularFile(largerSetPath(path, set), kMaxPictureFileBytes, true);
    } else {
      bmp = std::move(start->bytes);
    }
  }
  if (!bmp) bmp = readRegularFile(path, kMaxPictureFileBytes, later);
  if (!bmp) throw base::fileNotFound();
  auto pic = decodeForScale(std::move(*bmp),
                            larger ? std::move(*larger) : std::vector<std::uint8_t>{}, set, scale);
  if (!pic) throw base::invalidPicture();
  return std::make_shared<const Picture>(std::move(*pic));
}

}  // namespace media
