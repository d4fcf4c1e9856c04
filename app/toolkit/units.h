#pragma once

namespace toolkit {

// The designs measure in twips, 15 to a pixel of the 800 x 600 screen they
// were made for; a larger screen enlarges them (see Screen in screen_choice.h).
inline constexpr double kTwipsPerPixel = 15.0;
inline int toPixels(double twips) {
  return static_cast<int>(twips / kTwipsPerPixel + (twips < 0 ? -0.5 : 0.5));
}
inline double toTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}

}  // namespace toolkit
