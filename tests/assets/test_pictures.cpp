// The pictures the build drew, read back with the program's own loaders: every
// one is there at its size, and each shows what the game counts on (a clear
// letter box, a moving frog, a talking mouth, a red stop sign...).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "media/bitmap.h"
#include "media/builtin_art.h"
#include "media/picture_scale.h"
#include "media/qoi.h"
#include "tests/support/bytes.h"

using base::Rgb;
using media::PictureRef;

namespace {

struct Box {
  int left, top, right, bottom;  // inclusive
};

// Where the game draws the letter over the eating frames.
constexpr Box kLetterBox{34, 63, 143, 203};

PictureRef runtimePicture(const std::string& name) {
  return media::loadPictureFile(std::string(YUMBLE_BIN_DIR) + "/" + name + ".bmp");
}

const auto nearWhite = [](Rgb c) { return c.r >= 235 && c.g >= 235 && c.b >= 235; };
const auto green = [](Rgb c) { return c.g > c.r + 30 && c.g > c.b + 30; };
const auto red = [](Rgb c) { return c.r > 170 && c.g < 80 && c.b < 80; };
const auto pink = [](Rgb c) {
  return c.r > 220 && c.g > 90 && c.g < 170 && c.b > 120 && c.b < 190;
};
const auto darkRed = [](Rgb c) { return c.r > 90 && c.r < 160 && c.g < 50 && c.b < 70; };
const auto yellow = [](Rgb c) { return c.r > 220 && c.g > 170 && c.b < 140; };
const auto blue = [](Rgb c) { return c.b > 170 && c.b > c.r + 60; };
const auto dark = [](Rgb c) { return c.r < 100 && c.g < 100 && c.b < 100; };

Box whole(const media::Picture& p) {
  return {0, 0, p.width - 1, p.height - 1};
}

template <class Pred>
double share(const media::Picture& p, Box b, Pred pred) {
  int hits = 0, all = 0;
  for (int y = b.top; y <= b.bottom; ++y)
    for (int x = b.left; x <= b.right; ++x, ++all) hits += pred(p.at(x, y)) ? 1 : 0;
  return all ? static_cast<double>(hits) / all : 0;
}

bool differ(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 60;
}

// The share of pixels in the box that clearly changed from one picture to the other.
double changed(const media::Picture& a, const media::Picture& b, Box box) {
  int hits = 0, all = 0;
  for (int y = box.top; y <= box.bottom; ++y)
    for (int x = box.left; x <= box.right; ++x, ++all) hits += differ(a.at(x, y), b.at(x, y));
  return static_cast<double>(hits) / all;
}

// Mean column of the pixels that match, or -1 when none do.
template <class Pred>
double meanX(const media::Picture& p, Pred pred) {
  double sum = 0;
  int n = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (pred(p.at(x, y))) sum += x, ++n;
  return n ? sum / n : -1;
}

// A picture that stands on the white window: nothing touches its edges.
bool whiteFrame(const media::Picture& p, int margin) {
  const Box inner{margin, margin, p.width - 1 - margin, p.height - 1 - margin};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const bool inside =
          x >= inner.left && x <= inner.right && y >= inner.top && y <= inner.bottom;
      if (!inside && !nearWhite(p.at(x, y))) return false;
    }
  return true;
}

std::vector<PictureRef> loadSet(const std::string& stem, int first, int last) {
  std::vector<PictureRef> set;
  for (int i = first; i <= last; ++i) set.push_back(runtimePicture(stem + std::to_string(i)));
  return set;
}

// Seven frames of one size showing the frog on white, each moving on from the
// one before; the tongue fetches the letter from its box.
TEST(Frames, SevenEatingOnWhiteMovingOnFetchingTheLetterThreeTalkingOpeningWiderAndWider) {
  const auto f = loadSet("f", 1, 7);
  for (std::size_t i = 0; i < f.size(); ++i) {
    SCOPED_TRACE("f" + std::to_string(i + 1));
    ASSERT_EQ(f[i]->width, 400);
    ASSERT_EQ(f[i]->height, 256);
    EXPECT_TRUE(whiteFrame(*f[i], 2));
    EXPECT_GT(share(*f[i], whole(*f[i]), green), 0.15);
    // The frog sits right of the letter, so it fills the right-hand side.
    EXPECT_GT(share(*f[i], {250, 0, 399, 255}, green), 0.2);
    if (i > 0) {
      EXPECT_GT(changed(*f[i - 1], *f[i], whole(*f[i])), 0.01) << "from f" << i;
    }
  }
  // The letter is on show in f1 and f7, and still mostly in f2 and f3.
  EXPECT_GT(share(*f[0], kLetterBox, nearWhite), 0.995);
  EXPECT_GT(share(*f[6], kLetterBox, nearWhite), 0.995);
  EXPECT_GT(share(*f[1], kLetterBox, nearWhite), 0.85);
  EXPECT_GT(share(*f[2], kLetterBox, nearWhite), 0.85);
  // In f4 the tongue's tip is on the letter, level with its middle.
  const Box letterMiddle{60, 110, 120, 160};
  EXPECT_GT(share(*f[3], letterMiddle, pink), 0.08);
  EXPECT_EQ(share(*f[0], letterMiddle, pink), 0);
  // The mouth is open from f2 to f5 and shut in the rest.
  for (int i : {1, 2, 3, 4}) EXPECT_GT(share(*f[i], whole(*f[i]), darkRed), 0.005) << "f" << i + 1;
  for (int i : {0, 5, 6}) EXPECT_LT(share(*f[i], whole(*f[i]), darkRed), 0.001) << "f" << i + 1;
  // Turned left: the open mouth is on the letter's side of the frog.
  EXPECT_LT(meanX(*f[1], darkRed), meanX(*f[1], green) - 40);

  // The talking frames: the same frog turned right opens its mouth wider and wider.
  const auto t = loadSet("talk", 0, 2);
  for (std::size_t i = 0; i < t.size(); ++i) {
    SCOPED_TRACE("talk" + std::to_string(i));
    ASSERT_EQ(t[i]->width, 252);
    ASSERT_EQ(t[i]->height, 332);
    EXPECT_TRUE(whiteFrame(*t[i], 3));
    EXPECT_GT(share(*t[i], whole(*t[i]), green), 0.15);
  }
  const double open0 = share(*t[0], whole(*t[0]), darkRed);
  const double open1 = share(*t[1], whole(*t[1]), darkRed);
  const double open2 = share(*t[2], whole(*t[2]), darkRed);
  EXPECT_LT(open0, 0.001);
  EXPECT_GT(open1, open0 + 0.005);
  EXPECT_GT(open2, open1 + 0.005);
  // Turned right: the mouth is on the right-hand side.
  EXPECT_GT(meanX(*t[2], darkRed), 160);

  // Only the mouth moves: the eyes above it and the feet below stay put.
  const Box mouth{140, 130, 251, 235}, eyes{0, 0, 251, 120}, feet{0, 240, 251, 331};
  for (std::size_t i = 1; i < t.size(); ++i) {
    SCOPED_TRACE("talk" + std::to_string(i - 1) + " to talk" + std::to_string(i));
    EXPECT_GT(changed(*t[i - 1], *t[i], mouth), 0.02);
    EXPECT_EQ(changed(*t[i - 1], *t[i], eyes), 0);
    EXPECT_EQ(changed(*t[i - 1], *t[i], feet), 0);
  }
}

struct Art {
  const char* name;
  std::span<const std::uint8_t> (*bytes)();
  int width, height;
};

const Art kArt[] = {
    {"frogRight", media::art::frogRight, 400, 256},
    {"frogLeft", media::art::frogLeft, 400, 256},
    {"programIcon", media::art::programIcon, 32, 32},
    {"programIcon64", media::art::programIcon64, 64, 64},
    {"stopSign", media::art::stopSign, 32, 32},
    {"smileyIcon", media::art::smileyIcon, 32, 32},
    {"rewardPicture", media::art::rewardPicture, 400, 465},
};

PictureRef art(std::span<const std::uint8_t> (*bytes)()) {
  return media::art::picture(bytes());
}

TEST(BuiltInArt, EveryPictureDecodesAtItsSizeOnWhiteAndShowsWhatItIsFor) {
  for (const Art& a : kArt) {
    SCOPED_TRACE(a.name);
    const auto p = art(a.bytes);
    ASSERT_EQ(p->width, a.width);
    ASSERT_EQ(p->height, a.height);
    // White at the corners, and a picture in between.
    for (auto [x, y] : {std::pair{0, 0}, {a.width - 1, 0}, {0, a.height - 1}})
      EXPECT_TRUE(nearWhite(p->at(x, y))) << x << "," << y;
    EXPECT_LT(share(*p, whole(*p), nearWhite), 0.8);
  }

  // The seated frog faces both ways.
  const auto right = art(media::art::frogRight), left = art(media::art::frogLeft);
  EXPECT_GT(share(*right, whole(*right), green), 0.2);
  EXPECT_TRUE(whiteFrame(*right, 3));
  int off = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 400; ++x) off += differ(left->at(x, y), right->at(399 - x, y));
  EXPECT_LT(off, 400 * 256 / 200) << "frogLeft is not frogRight mirrored";
  EXPECT_GT(changed(*left, *right, whole(*left)), 0.1) << "the two frogs face the same way";

  // The icons read at their size.
  for (auto bytes : {media::art::programIcon, media::art::programIcon64}) {
    const auto icon = art(bytes);
    EXPECT_GT(share(*icon, whole(*icon), green), 0.3);
    EXPECT_GT(share(*icon, whole(*icon), dark), 0.04);  // the outline and the eyes
  }

  // A red octagon: white outside its cut corners, white letters across the middle.
  const auto stop = art(media::art::stopSign);
  EXPECT_GT(share(*stop, whole(*stop), red), 0.5);
  EXPECT_GT(share(*stop, {4, 13, 27, 19}, nearWhite), 0.35);
  for (auto [x, y] : {std::pair{1, 1}, {30, 1}, {1, 30}, {30, 30}})
    EXPECT_TRUE(nearWhite(stop->at(x, y))) << x << "," << y;
  EXPECT_TRUE(red(stop->at(16, 6)));
  EXPECT_TRUE(red(stop->at(16, 26)));

  const auto smiley = art(media::art::smileyIcon);
  EXPECT_GT(share(*smiley, whole(*smiley), yellow), 0.4);
  EXPECT_GT(share(*smiley, {6, 8, 25, 25}, dark), 0.08);  // eyes and smile

  // The reward's frog sits on its lily pad before the star.
  const auto p = art(media::art::rewardPicture);
  EXPECT_GT(share(*p, whole(*p), yellow), 0.08);              // the star
  EXPECT_GT(share(*p, whole(*p), green), 0.2);                // frog and pad
  EXPECT_GT(share(*p, {0, 380, 399, 464}, blue), 0.1);        // the pond, at the bottom
  EXPECT_GT(share(*p, {100, 30, 300, 160}, red), 0.03);       // the cap, on top
  EXPECT_GT(share(*p, {100, 200, 300, 300}, darkRed), 0.03);  // the open smiling mouth
  EXPECT_LT(std::abs(meanX(*p, green) - 200), 10);            // seen from the front
}

// The larger sets are the same drawings at exactly two and three times the
// size: brought back down to the design size, they match the bitmap.
void expectLargerSetMatches(const std::string& name, const media::Picture& design,
                            std::span<const std::uint8_t> larger, int set) {
  SCOPED_TRACE(name + " at " + std::to_string(set) + "x");
  const auto big = media::decodeQoi(larger);
  ASSERT_TRUE(big);
  ASSERT_EQ(big->width, design.width * set);
  ASSERT_EQ(big->height, design.height * set);
  const media::Picture down = media::resample(*big, design.width, design.height);
  double difference = 0;
  for (std::size_t i = 0; i < down.pixels.size(); ++i)
    difference += std::abs(down.pixels[i].r - design.pixels[i].r) +
                  std::abs(down.pixels[i].g - design.pixels[i].g) +
                  std::abs(down.pixels[i].b - design.pixels[i].b);
  EXPECT_LT(difference / static_cast<double>(3 * down.pixels.size()), 2.0);
  EXPECT_LT(changed(down, design, whole(design)), 0.001);
}

// How many of the pages wholly within the bytes this process has mapped.
int mappedPages(std::span<const std::uint8_t> bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const int map = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
  int n = 0;
  for (auto at = (reinterpret_cast<std::uintptr_t>(bytes.data()) + page - 1) / page;
       (at + 1) * page <= reinterpret_cast<std::uintptr_t>(bytes.data() + bytes.size()); ++at) {
    std::uint64_t entry = 0;
    if (pread(map, &entry, sizeof entry, static_cast<off_t>(at * sizeof entry)) != sizeof entry)
      ADD_FAILURE() << "pagemap unread";
    n += static_cast<int>(entry >> 63);
  }
  close(map);
  return n;
}

TEST(LargerSets, EveryFrameAndGrowingBuiltInPictureIsDrawnAgainAtTwoAndThreeTimesItsSize) {
  for (const char* name : {"f1", "f2", "f3", "f4", "f5", "f6", "f7", "talk0", "talk1", "talk2"})
    for (int set : {2, 3}) {
      const std::string bmp = std::string(YUMBLE_BIN_DIR) + "/" + name + ".bmp";
      expectLargerSetMatches(name, *runtimePicture(name),
                             testing_support::readFile(media::largerSetPath(bmp, set)), set);
    }
  // The built-in pictures that grow are drawn larger too.
  const std::pair<const char*, media::art::Drawing> drawings[] = {
      {"frogRight", media::art::kFrogRight},
      {"frogLeft", media::art::kFrogLeft},
      {"stopSign", media::art::kStopSign},
      {"rewardPicture", media::art::kRewardPicture}};
  for (const auto& [name, d] : drawings) {
    const auto design = media::art::picture(d.design());
    expectLargerSetMatches(name, *design, d.twice(), 2);
    expectLargerSetMatches(name, *design, d.thrice(), 3);
    // What the game asks for on a 1920 x 1080 screen.
    const auto shown = media::art::picture(d, 1.8);
    // The artwork's pages are let go once read, and again once it is fitted.
    EXPECT_EQ(mappedPages(media::art::everything()), 0) << name;
    EXPECT_EQ(shown->layoutWidth(), design->width);
    EXPECT_EQ(media::onScreen(*shown).width, static_cast<int>(std::lround(design->width * 1.8)));
    EXPECT_EQ(mappedPages(media::art::everything()), 0) << name;
  }
}

}  // namespace
