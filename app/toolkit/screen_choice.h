#pragma once

#include <optional>
#include <vector>

#include "app/toolkit/units.h"

namespace toolkit {

// A rectangle of the desktop, in pixels; monitors left of or above the primary
// one have negative coordinates.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool contains(int px, int py) const {
    return px >= x && py >= y && px - x < width && py - y < height;
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int x = 0, y = 0;
};

// The designs were laid out for a screen of this size.
inline constexpr int kDesignScreenWidth = 800, kDesignScreenHeight = 600;

// The monitor the game plays on, and how many times larger than the designs'
// screen it shows them.
struct Screen {
  Rect bounds;
  double scale = 1;

  // Twips to this screen's pixels and back: the designs' 15 twips to a pixel,
  // enlarged by the scale. Window positions count from the monitor's corner.
  int toPixels(double twips) const { return toolkit::toPixels(twips * scale); }
  double toTwips(int pixels) const { return toolkit::toTwips(pixels) / scale; }
};

// The designs fill the monitor as they filled their own screen: the smaller of
// the two ratios, so everything fits, and never below 1, so a smaller screen
// keeps the designs' own sizes.
double scaleFor(const Rect& monitor);

// The monitor under the pointer, else the primary one, else the first; with
// no monitor at all, a screen of the designs' size.
Screen chooseScreen(const std::vector<Rect>& monitors, std::optional<Point> pointer, int primary);

}  // namespace toolkit
