#pragma once

#include <cstdint>
#include <span>

#include "media/picture.h"

// The artwork compiled into the program: bitmaps made from assets/ at build time.
namespace media::art {

std::span<const std::uint8_t> frogRight();      // 400 x 256, seated, turned right
std::span<const std::uint8_t> frogLeft();       // the same frog mirrored
std::span<const std::uint8_t> programIcon();    // 32 x 32
std::span<const std::uint8_t> programIcon64();  // 64 x 64, for the desktop
std::span<const std::uint8_t> stopSign();       // 32 x 32
std::span<const std::uint8_t> smileyIcon();     // 32 x 32
std::span<const std::uint8_t> rewardPicture();  // 400 x 465

// Decodes one of the above; a built-in picture that will not decode is a
// fault of the build, so this returns an empty picture rather than fail.
PictureRef picture(std::span<const std::uint8_t> bmp);

}  // namespace media::art
