#pragma once

#include <cstdint>

namespace base {

// A colour as the designs give it: red, green and blue from 0 to 255.
struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace base
