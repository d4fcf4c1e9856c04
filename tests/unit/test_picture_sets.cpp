// The larger drawings: the QOI codec (every operation, damaged and lying
// files), the choice of set for a scale, the smooth resampling, and the file
// loader picking the set beside a bitmap.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "app/base/failure.h"
#include "media/bitmap.h"
#include "media/picture_scale.h"
#include "media/qoi.h"
#include "tests/support/bytes.h"
#include "tests/support/headless_env.h"

using media::Picture;
using media::Rgb;
using testing_support::Bytes;
using testing_support::Exactly;

namespace {

Picture filled(int width, int height, const std::function<Rgb(int, int)>& colour) {
  Picture p;
  p.width = width, p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p.pixels.push_back(colour(x, y));
  return p;
}

Bytes qoiHeader(std::uint32_t width, std::uint32_t height) {
  Bytes b{'q', 'o', 'i', 'f'};
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back((v >> shift) & 0xff);
  b.push_back(3);
  b.push_back(0);
  return b;
}

// Flat runs longer than one run op, soft shading, sharp edges and returning colours.
Picture drawing(int width = 150) {
  return filled(width, 40, [](int x, int y) {
    if (y < 10) return Rgb{255, 255, 255};
    if (y < 20) return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x + y), 90};
    if (y < 30) return x % 7 < 3 ? Rgb{0, 160, 0} : Rgb{230, 20, 40};
    return Rgb{static_cast<std::uint8_t>(x * 37), static_cast<std::uint8_t>(y * 91),
               static_cast<std::uint8_t>(x * y)};
  });
}

TEST(Qoi, EveryOperationDecodesAsDefinedEncodedPicturesComeBackCutOrLyingOnesAreRejected) {
  Bytes b = qoiHeader(8, 1);
  const Bytes ops{0x55,                // a small step from the black start, wrapping: -1, -1, -1
                  0xfe, 10,   20, 30,  // a colour in full
                  0x72,                // a small step: +1, -2, 0
                  0xaa, 0x5d,          // a luma step: green +10, red +10-3, blue +10+5
                  0x09,                // seen before: (10*3 + 20*5 + 30*7 + 255*11) % 64 = 9
                  0xff, 1,    2,  3,  128,  // a colour with transparency, shown opaque
                  0xc1,                     // a run of two
                  0,    0,    0,  0,  0,   0, 0, 1};
  b.insert(b.end(), ops.begin(), ops.end());
  const auto p = media::decodeQoi(b);
  ASSERT_TRUE(p);
  const std::vector<Rgb> expected{{255, 255, 255}, {10, 20, 30}, {11, 18, 30}, {18, 28, 45},
                                  {10, 20, 30},    {1, 2, 3},    {1, 2, 3},    {1, 2, 3}};
  EXPECT_EQ(p->pixels, expected);

  // Encoded pictures come back exactly, and small.
  const Picture drawn = drawing();
  const Bytes encoded = media::encodeQoi(drawn);
  EXPECT_LT(encoded.size(), drawn.pixels.size() * 3 / 2);
  const auto back = media::decodeQoi(encoded);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->width, drawn.width);
  EXPECT_EQ(back->height, drawn.height);
  EXPECT_EQ(back->pixels, drawn.pixels);

  // Cut anywhere, it is rejected without reading past the end; lies about the
  // size are rejected before allocating. (Damaged bytes: tests/fuzz/fuzz_qoi.cpp.)
  const Bytes cut = media::encodeQoi(drawing(20));  // every kind of operation, briefly
  // The end mark is not needed; the pixels are.
  for (std::size_t n = 0; n + 8 < cut.size(); ++n)
    EXPECT_FALSE(media::decodeQoi(Exactly(cut, n))) << n;

  b = qoiHeader(1, 1);
  b.push_back(0xfe);
  for (auto [w, h] : {std::pair{0u, 1u}, {1u, 0u}, {8193u, 1u}, {8192u, 8192u}}) {
    Bytes lie = qoiHeader(w, h);
    lie.insert(lie.end(), b.begin() + 14, b.end());
    EXPECT_FALSE(media::decodeQoi(lie)) << w << "x" << h;
  }
  // A few bytes cannot hold 4096 x 4096 pixels even in the longest runs.
  Bytes runs = qoiHeader(4096, 4096);
  runs.resize(runs.size() + 1000, 0xfd);
  EXPECT_FALSE(media::decodeQoi(runs));
  b[0] = 'Q';
  EXPECT_FALSE(media::decodeQoi(b));
}

TEST(PictureSets, TheNearestSetElseTheLargestFittedAtItsDesignSizeResampledByAverages) {
  for (auto [scale, set] : {std::pair{1.0, 1}, {1.28, 2}, {1.8, 2}, {2.0, 2}, {2.4, 3}, {3.6, 3}})
    EXPECT_EQ(media::pictureSetFor(scale), set) << scale;
  EXPECT_EQ(media::largerSetPath("/game/f1.bmp", 2), "/game/f1@2x.qoi");
  EXPECT_EQ(media::largerSetPath("/a.b/talk0", 3), "/a.b/talk0@3x.qoi");

  // A picture fitted to a scale keeps its design size.
  const Picture big = filled(800, 512, [](int, int) { return Rgb{1, 2, 3}; });
  const auto fitted = media::fitToScale(big, 2, 1.8);
  ASSERT_TRUE(fitted);
  EXPECT_EQ(fitted->width, 720);
  EXPECT_EQ(fitted->height, 461);
  EXPECT_EQ(fitted->layoutWidth(), 400);
  EXPECT_EQ(fitted->layoutHeight(), 256);
  EXPECT_FALSE(media::fitToScale(filled(801, 512, [](int, int) { return Rgb{}; }), 2, 1.8));

  // Three pixels into two: each new one covers one old pixel and half the middle one.
  const Picture row = filled(3, 1, [](int x, int) {
    const auto v = static_cast<std::uint8_t>(90 * x);
    return Rgb{v, v, v};
  });
  const Picture two = media::resample(row, 2, 1);
  EXPECT_EQ(two.pixels, (std::vector<Rgb>{{30, 30, 30}, {150, 150, 150}}));
  // Two by two blocks halve to their means, columns and rows alike.
  const Picture blocks = filled(4, 4, [](int x, int y) {
    return (x + y) % 2 ? Rgb{0, 0, 0} : Rgb{200, 100, 50};
  });
  for (const Rgb& c : media::resample(blocks, 2, 2).pixels) EXPECT_EQ(c, (Rgb{100, 50, 25}));
  // A flat colour stays exactly itself at any size, larger or smaller.
  const Picture flat = filled(7, 5, [](int, int) { return Rgb{12, 34, 56}; });
  for (auto [w, h] : {std::pair{5, 3}, {11, 8}, {1, 1}}) {
    const Picture out = media::resample(flat, w, h);
    ASSERT_EQ(out.pixels.size(), static_cast<std::size_t>(w * h));
    for (const Rgb& c : out.pixels) EXPECT_EQ(c, (Rgb{12, 34, 56}));
  }
}

// A missing or damaged bitmap fails the same on every screen, larger set or not.
TEST(LargerSetFile, TheBitmapMustBeThereAndWholeTheLoaderDrawsFromTheSetTheScaleCallsFor) {
  testing_support::GameFolder folder;
  const std::string bmp = folder.file("pic.bmp");
  testing_support::writeFile(media::largerSetPath(bmp, 2),
                             media::encodeQoi(filled(8, 4, [](int, int) {
                               return Rgb{0, 0, 255};
                             })));
  for (auto [content, number] : {std::pair{"", base::kFileNotFound},
                                 std::pair{"not a picture at all", base::kInvalidPicture}}) {
    if (*content) std::ofstream(bmp) << content;
    try {
      media::loadPictureFile(bmp, 2);
      ADD_FAILURE() << "no failure for " << number;
    } catch (const base::Failure& f) {
      EXPECT_EQ(f.number(), number);
    }
  }
  testing_support::writeBmp(bmp, 4, 2, {255, 0, 0});
  auto p = media::loadPictureFile(bmp, 1);
  EXPECT_EQ(p->width, 4);
  EXPECT_EQ(p->at(0, 0), (Rgb{255, 0, 0}));

  // On a larger screen the picture keeps its design size for the layout and
  // is drawn from the larger set once it is shown.
  p = media::loadPictureFile(bmp, 1.5);
  EXPECT_EQ(p->layoutWidth(), 4);
  const media::Picture& shown = media::onScreen(*p);
  EXPECT_EQ(shown.width, 6);
  EXPECT_EQ(shown.height, 3);
  EXPECT_EQ(shown.layoutWidth(), 4);
  EXPECT_EQ(shown.at(5, 2), (Rgb{0, 0, 255}));
  EXPECT_EQ(&media::onScreen(*p), &shown);  // worked out once
  // Read again, the same bytes find the same fitted pixels.
  EXPECT_EQ(&media::onScreen(*media::loadPictureFile(bmp, 1.5)), &shown);
  EXPECT_TRUE(p->pixels.empty());  // the design's pixels were never needed
  EXPECT_EQ(p->later->files[0].capacity() + p->later->files[1].capacity(), 0u);  // nor the files
  std::weak_ptr<const media::Picture> kept = p->later->fitted;
  p = nullptr, media::forgetFitted();
  EXPECT_TRUE(kept.expired());  // forgotten, they go with the last picture showing them

  // No 3x set: the bitmap, enlarged.
  p = media::loadPictureFile(bmp, 2.5);
  EXPECT_EQ(p->layoutHeight(), 2);
  EXPECT_EQ(media::onScreen(*p).width, 10);
  EXPECT_EQ(media::onScreen(*p).at(9, 4), (Rgb{255, 0, 0}));

  // A larger set whose pixels are cut short is found out only when it is
  // shown (not taken for the whole one fitted before); the bitmap is shown instead.
  Bytes cut = media::encodeQoi(filled(8, 4, [](int, int) { return Rgb{0, 0, 255}; }));
  cut.resize(cut.size() - 12);
  testing_support::writeFile(media::largerSetPath(bmp, 2), cut);
  p = media::loadPictureFile(bmp, 1.5);
  EXPECT_EQ(media::onScreen(*p).width, 6);
  EXPECT_EQ(media::onScreen(*p).at(5, 2), (Rgb{255, 0, 0}));
  // Of a bitmap longer than its header only the start is read while the set
  // shows, but it must be whole all the same; when the set cannot be shown
  // the rest is read, and what it draws is not taken for another bitmap that
  // starts the same (its top row, stored last, changed).
  testing_support::writeBmp(bmp, 40, 20, {255, 0, 0});
  Bytes bitmap = testing_support::readFile(bmp);
  ASSERT_GT(bitmap.size(), media::kBitmapStartBytes + 120);
  p = media::loadPictureFile(bmp, 1.5);
  ASSERT_EQ(media::onScreen(*p).pixels.size(), 60u * 30);
  EXPECT_EQ(media::onScreen(*p).at(0, 0), (Rgb{255, 0, 0}));
  testing_support::writeFile(bmp, Bytes(bitmap.begin(), bitmap.end() - 1));
  EXPECT_THROW(media::loadPictureFile(bmp, 1.5), base::Failure);
  for (std::size_t i = bitmap.size() - 120; i < bitmap.size(); ++i) bitmap[i] = 200;
  testing_support::writeFile(bmp, bitmap);
  EXPECT_EQ(media::onScreen(*media::loadPictureFile(bmp, 1.5)).at(0, 0), (Rgb{200, 200, 200}));

  // A larger set is fitted as it is decoded, a few rows at a time (here
  // enlarged, each row used twice): the same as the whole picture resampled.
  const Picture big = filled(12, 9, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(28 * y), static_cast<std::uint8_t>(20 * x), 9};
  });
  testing_support::writeFile(media::largerSetPath(bmp, 3), media::encodeQoi(big));
  EXPECT_EQ(media::onScreen(*media::loadPictureFile(bmp, 3.5)).pixels,
            media::resample(big, 14, 11).pixels);
}

}  // namespace
