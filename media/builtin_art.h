#pragma once

#include <cstdint>
#include <span>

#include "media/picture.h"

// The artwork compiled into the program, made from assets/ at build time and
// held in the compact QOI form.
namespace media::art {

std::span<const std::uint8_t> frogRight();      // 400 x 256, seated, turned right
std::span<const std::uint8_t> frogLeft();       // the same frog mirrored
std::span<const std::uint8_t> programIcon();    // 32 x 32
std::span<const std::uint8_t> programIcon64();  // 64 x 64, for the desktop
std::span<const std::uint8_t> stopSign();       // 32 x 32
std::span<const std::uint8_t> smileyIcon();     // 32 x 32
std::span<const std::uint8_t> rewardPicture();  // 400 x 465

// The pictures that grow with the screen, drawn again at two and three times
// their size (QOI).
std::span<const std::uint8_t> frogRight2x();
std::span<const std::uint8_t> frogRight3x();
std::span<const std::uint8_t> frogLeft2x();
std::span<const std::uint8_t> frogLeft3x();
std::span<const std::uint8_t> stopSign2x();
std::span<const std::uint8_t> stopSign3x();
std::span<const std::uint8_t> rewardPicture2x();
std::span<const std::uint8_t> rewardPicture3x();

// All of the above, end to end.
std::span<const std::uint8_t> everything();

using Bytes = std::span<const std::uint8_t> (*)();

// One picture in every size the build drew it.
struct Drawing {
  Bytes design;
  Bytes twice = nullptr;
  Bytes thrice = nullptr;
};
inline constexpr Drawing kFrogRight{frogRight, frogRight2x, frogRight3x};
inline constexpr Drawing kFrogLeft{frogLeft, frogLeft2x, frogLeft3x};
inline constexpr Drawing kStopSign{stopSign, stopSign2x, stopSign3x};
inline constexpr Drawing kRewardPicture{rewardPicture, rewardPicture2x, rewardPicture3x};

// Decodes one of the above; a built-in picture that will not decode is a
// fault of the build, so this returns an empty picture rather than fail. The
// artwork's pages are let go again once the picture is made.
PictureRef picture(std::span<const std::uint8_t> bytes);

// The drawing made `scale` times its design size from the nearest larger set.
PictureRef picture(const Drawing& drawing, double scale);

}  // namespace media::art
