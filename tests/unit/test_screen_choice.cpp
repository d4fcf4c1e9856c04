// Which monitor the game plays on, and how much it enlarges the designs there.
#include <gtest/gtest.h>

#include "app/toolkit/screen_choice.h"

using toolkit::Rect;

namespace {

TEST(ScreenChoice, TheDesignsFillTheMonitorUnderThePointerElseThePrimary) {
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 800, 600}), 1.0);
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 1920, 1080}), 1.8);
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 3840, 2160}), 3.6);
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 1280, 1024}), 1.6);
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 1080, 1920}), 1.35);  // turned on its side
  EXPECT_DOUBLE_EQ(toolkit::scaleFor({0, 0, 640, 480}), 1.0);

  // A 1280 x 1024 monitor on the left and the primary 1920 x 1080 on the right.
  const std::vector<Rect> kPrimaryOnTheRight{{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
  // The same seen from the primary's origin: the left monitor has negative coordinates.
  const std::vector<Rect> kLeftOfTheOrigin{{-1280, -200, 1280, 1024}, {0, 0, 1920, 1080}};
  auto s = toolkit::chooseScreen(kPrimaryOnTheRight, toolkit::Point{100, 900}, 1);
  EXPECT_EQ(s.bounds, (Rect{0, 0, 1280, 1024}));
  EXPECT_DOUBLE_EQ(s.scale, 1.6);
  s = toolkit::chooseScreen(kPrimaryOnTheRight, toolkit::Point{1280, 0}, 0);
  EXPECT_EQ(s.bounds, (Rect{1280, 0, 1920, 1080}));
  EXPECT_DOUBLE_EQ(s.scale, 1.8);

  s = toolkit::chooseScreen(kLeftOfTheOrigin, toolkit::Point{-1, -200}, 1);
  EXPECT_EQ(s.bounds, (Rect{-1280, -200, 1280, 1024}));
  s = toolkit::chooseScreen(kLeftOfTheOrigin, toolkit::Point{0, 0}, 0);
  EXPECT_EQ(s.bounds, (Rect{0, 0, 1920, 1080}));

  // The primary when the pointer is on no monitor or unknown.
  // Below the shorter left monitor, in the gap beside the primary's bottom edge.
  EXPECT_EQ(toolkit::chooseScreen(kLeftOfTheOrigin, toolkit::Point{-100, 900}, 1).bounds,
            (Rect{0, 0, 1920, 1080}));
  EXPECT_EQ(toolkit::chooseScreen(kPrimaryOnTheRight, std::nullopt, 1).bounds,
            (Rect{1280, 0, 1920, 1080}));
  // A primary index out of range falls back to the first monitor.
  EXPECT_EQ(toolkit::chooseScreen(kPrimaryOnTheRight, std::nullopt, 5).bounds,
            (Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(toolkit::chooseScreen({}, std::nullopt, 0).bounds, (Rect{0, 0, 800, 600}));
}

}  // namespace
