// The bitmap decoder: depths, row order and padding, RLE8, and files that are
// missing, broken or lying about their sizes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/bitmap.h"
#include "tests/support/bytes.h"
#include "tests/support/headless_env.h"

using base::Rgb;
using testing_support::Bytes;
using testing_support::Exactly;
using testing_support::with32;

namespace {

constexpr std::size_t kWidthAt = 18, kHeightAt = 22, kBitsAt = 28, kCompressionAt = 30,
                      kColoursAt = 46, kOffsetAt = 10, kHeaderSizeAt = 14;

using testing_support::bmpBytes;

// Rows as stored: bottom row first unless top-down, each padded to four bytes.
template <class PutPixel>
Bytes rows(int width, int height, bool topDown, int bytesPerPixel, PutPixel put) {
  Bytes d;
  const int stride = (width * bytesPerPixel + 3) / 4 * 4;
  for (int r = 0; r < height; ++r) {
    const int y = topDown ? r : height - 1 - r;
    for (int x = 0; x < width; ++x) put(d, x, y);
    d.resize(d.size() + stride - width * bytesPerPixel, 0xEE);
  }
  return d;
}

Rgb colourAt(int x, int y) {
  return {static_cast<std::uint8_t>(10 + 40 * x), static_cast<std::uint8_t>(20 + 50 * y),
          static_cast<std::uint8_t>(200 - x - y)};
}

Bytes bmp24(int width, int height, bool topDown) {
  const Bytes data = rows(width, height, topDown, 3, [](Bytes& d, int x, int y) {
    const Rgb c = colourAt(x, y);
    d.insert(d.end(), {c.b, c.g, c.r});
  });
  return bmpBytes(width, topDown ? -height : height, 24, {}, data);
}

const std::vector<Rgb> kPalette{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};

Bytes bmp8(int width, int height, bool topDown) {
  const Bytes data = rows(width, height, topDown, 1, [](Bytes& d, int x, int y) {
    d.push_back(static_cast<std::uint8_t>((x + 2 * y) % kPalette.size()));
  });
  return bmpBytes(width, topDown ? -height : height, 8, kPalette, data);
}

void expectPixels(const std::optional<media::Picture>& pic, int width, int height,
                  const std::function<Rgb(int, int)>& expected) {
  ASSERT_TRUE(pic);
  ASSERT_EQ(pic->width, width);
  ASSERT_EQ(pic->height, height);
  ASSERT_EQ(pic->pixels.size(), static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) EXPECT_EQ(pic->at(x, y), expected(x, y)) << x << "," << y;
}

TEST(DecodeBmp, EveryDepthRowsEitherWayWithPadding) {
  for (bool topDown : {false, true})
    for (int width = 1; width <= 5; ++width) {
      SCOPED_TRACE(testing::Message() << "width " << width << (topDown ? " top-down" : ""));
      expectPixels(media::decodeBmp(bmp24(width, 3, topDown)), width, 3, colourAt);
      expectPixels(media::decodeBmp(bmp8(width, 3, topDown)), width, 3,
                   [](int x, int y) { return kPalette[(x + 2 * y) % kPalette.size()]; });
    }

  // One and four bits a pixel come from the high bits first; 32 bits are blue,
  // green, red, then unused.
  const std::vector<Rgb> two{{0, 0, 0}, {255, 255, 255}};
  // 10 pixels: 1011001110 -> 0xB3 0x80, padded to four bytes; two rows.
  const Bytes oneBit{0xB3, 0x80, 0, 0, 0xB3, 0x80, 0, 0};
  const std::string pattern = "1011001110";
  expectPixels(media::decodeBmp(bmpBytes(10, 2, 1, two, oneBit)), 10, 2,
               [&](int x, int) { return two[pattern[x] - '0']; });

  // 3 pixels: indexes 1, 4, 2 -> 0x14 0x20.
  const Bytes fourBit{0x14, 0x20, 0, 0};
  const int idx[] = {1, 4, 2};
  expectPixels(media::decodeBmp(bmpBytes(3, 1, 4, kPalette, fourBit)), 3, 1,
               [&](int x, int) { return kPalette[idx[x]]; });

  const Bytes data{1, 2, 3, 0xFF, 4, 5, 6, 0};
  expectPixels(media::decodeBmp(bmpBytes(2, 1, 32, {}, data)), 2, 1, [](int x, int) {
    return x == 0 ? Rgb{3, 2, 1} : Rgb{6, 5, 4};
  });
}

// A 4 x 3 picture in RLE8, written by hand. Stored bottom row first.
Bytes rle8Sample() {
  const Bytes data{
      3, 1, 1, 2, 0, 0,              // bottom: three of 1, one of 2, end of line
      0, 3, 2, 3, 1, 0, 1, 0, 0, 0,  // middle: literal 2 3 1 (padded), one of 0, end of line
      0, 2, 2, 0, 2, 3, 0, 1,        // top: skip two right, two of 3, end of picture
  };
  return bmpBytes(4, 3, 8, kPalette, data, 1);
}

// Runs, literals, skips and the end; a skip down and an early end leave the
// first colour; runs longer than the row are clipped.
TEST(DecodeBmp, Rle8RunsLiteralsSkipsAndEnd) {
  const int expected[3][4] = {{0, 0, 3, 3}, {2, 3, 1, 0}, {1, 1, 1, 2}};
  expectPixels(media::decodeBmp(rle8Sample()), 4, 3,
               [&](int x, int y) { return kPalette[expected[y][x]]; });

  const Bytes down{0, 2, 1, 1, 2, 4, 0, 1};  // skip one right and one row on, two of 4, end
  expectPixels(media::decodeBmp(bmpBytes(3, 3, 8, kPalette, down, 1)), 3, 3,
               [](int x, int y) { return kPalette[y == 1 && x >= 1 ? 4 : 0]; });

  const Bytes longRuns{200, 1, 0, 0, 0, 9, 1, 2, 3, 4, 1, 2, 3, 4, 1, 0, 0, 1};
  expectPixels(media::decodeBmp(bmpBytes(3, 2, 8, kPalette, longRuns, 1)), 3, 2,
               [](int x, int y) { return kPalette[y == 1 ? 1 : x + 1]; });
}

// Cut anywhere, a file is rejected without reading past its end.
TEST(DecodeBmp, DamagedLyingAndUnsupportedFilesAreRejectedAndThePixelCountIsBounded) {
  for (const Bytes& whole : {bmp24(3, 2, false), bmp8(5, 2, true), rle8Sample()}) {
    ASSERT_TRUE(media::decodeBmp(Exactly(whole, whole.size())));
    for (std::size_t n = 0; n < whole.size(); ++n)
      EXPECT_FALSE(media::decodeBmp(Exactly(whole, n))) << n << " of " << whole.size() << " bytes";
  }

  Bytes text(200, 'x');
  EXPECT_FALSE(media::decodeBmp(text));
  text[0] = 'B', text[1] = 'M';
  EXPECT_FALSE(media::decodeBmp(text));
  EXPECT_FALSE(media::decodeBmp(Bytes{}));

  const Bytes good = bmp24(3, 2, false);
  for (std::uint32_t w : {0u, 0x80000000u, 0xffffffffu, 16385u, 0x7fffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(good, kWidthAt, w))) << "width " << w;
  for (std::uint32_t h : {0u, 0x80000000u, 0x80000001u, 16385u, 0x7fffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(good, kHeightAt, h))) << "height " << h;
  // Within the size limit, but far more pixels than the file holds.
  EXPECT_FALSE(media::decodeBmp(with32(with32(good, kWidthAt, 16384), kHeightAt, 16384)));

  for (std::uint32_t off : {static_cast<std::uint32_t>(good.size()), 0xfffffff0u, 0xffffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(good, kOffsetAt, off))) << "offset " << off;
  for (std::uint32_t size : {0u, 12u, 0xfffffff0u, 0xffffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(good, kHeaderSizeAt, size))) << "header " << size;

  const Bytes paletted = bmp8(3, 2, false);
  for (std::uint32_t colours : {257u, 0x40000000u, 0xffffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(paletted, kColoursAt, colours))) << "colours " << colours;
  // No count means a full palette of 256, which this file does not hold.
  EXPECT_FALSE(media::decodeBmp(with32(paletted, kColoursAt, 0)));

  const Bytes rle = rle8Sample();
  for (std::uint32_t off : {static_cast<std::uint32_t>(rle.size()), 0xfffffff0u, 0xffffffffu})
    EXPECT_FALSE(media::decodeBmp(with32(rle, kOffsetAt, off))) << "RLE8 offset " << off;

  // The bit count (the two bytes after it, the compression's, stay 0).
  for (std::uint32_t n : {0u, 2u, 3u, 16u, 48u, 64u})
    EXPECT_FALSE(media::decodeBmp(with32(good, kBitsAt, n))) << n;
  for (std::uint32_t c : {2u, 4u, 5u, 99u})  // RLE4, JPEG, PNG, nonsense
    EXPECT_FALSE(media::decodeBmp(with32(good, kCompressionAt, c))) << c;
  // RLE8 needs 8 bits and rows stored bottom-up.
  EXPECT_FALSE(media::decodeBmp(with32(good, kCompressionAt, 1)));
  EXPECT_FALSE(media::decodeBmp(with32(rle, kHeightAt, static_cast<std::uint32_t>(-3))));

  // The largest picture is bounded by its pixel count, before anything is
  // allocated; RLE8 "move down" escapes skip rows without costing memory or time.
  // One bit a pixel: 8192 x 1024 is the most there may be, one row more is too many.
  const Bytes row(8192 / 8, 0xff);
  auto oneBit = [&](int height) {
    Bytes data;
    for (int i = 0; i < height; ++i) data.insert(data.end(), row.begin(), row.end());
    return bmpBytes(8192, height, 1, {{0, 0, 0}, {1, 2, 3}}, data);
  };
  const auto most = media::decodeBmp(oneBit(1024));
  ASSERT_TRUE(most);
  EXPECT_EQ(most->at(8191, 1023), (Rgb{1, 2, 3}));
  EXPECT_FALSE(media::decodeBmp(oneBit(1025)));
  EXPECT_FALSE(media::decodeBmp(with32(bmp24(3, 2, false), kWidthAt, 8193)));

  // 1,340 bytes of "move 255 rows down" claiming 16384 x 16384: refused outright.
  Bytes downs;
  while (downs.size() < 1280) downs.insert(downs.end(), {0, 2, 0, 255});
  EXPECT_FALSE(media::decodeBmp(bmpBytes(16384, 16384, 8, kPalette, downs, 1)));
  // The same within bounds: the rows moved over keep the first colour.
  const auto pic = media::decodeBmp(bmpBytes(4096, 2048, 8, kPalette, downs, 1));
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->at(4095, 0), kPalette[0]);
  // A move to the right beyond the row, then pixels: they fall outside and are dropped.
  const Bytes right{0, 2, 200, 0, 3, 1, 0, 0, 3, 2, 0, 1};
  expectPixels(media::decodeBmp(bmpBytes(4, 2, 8, kPalette, right, 1)), 4, 2,
               [](int x, int y) { return y == 0 && x < 3 ? kPalette[2] : kPalette[0]; });
  // Data cut inside an escape is refused as a whole.
  EXPECT_FALSE(media::decodeBmp(bmpBytes(64, 4096, 8, kPalette, Bytes{5, 1, 0, 0, 0, 2, 0}, 1)));
}

TEST(PictureFile, ReadsTheFilesTheGameIsMadeOf) {
  testing_support::GameFolder folder;  // a fresh folder; its own files do not matter here
  testing_support::writeBmp(folder.file("a.bmp"), 7, 3, {12, 34, 56});
  testing_support::writeBmp(folder.file("b.bmp"), 5, 4, {0, 200, 0}, 8);
  expectPixels(*media::loadPictureFile(folder.file("a.bmp")), 7, 3, [](int, int) {
    return Rgb{12, 34, 56};
  });
  expectPixels(*media::loadPictureFile(folder.file("b.bmp")), 5, 4, [](int, int) {
    return Rgb{0, 200, 0};
  });
}

}  // namespace
