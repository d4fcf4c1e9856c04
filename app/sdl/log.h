#pragma once

#include <SDL.h>

#include <cstdio>
#include <string>

namespace sdl {

// A step of SDL's that failed but that the game can live without: say so on
// stderr, with SDL's own reason, and go on.
inline void warn(const std::string& what) {
  std::fprintf(stderr, "yumble: %s: %s\n", what.c_str(), SDL_GetError());
}

}  // namespace sdl
