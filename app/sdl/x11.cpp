#include "app/sdl/x11.h"

#include <SDL_syswm.h>

namespace sdl::x11 {

bool showWithoutWaiting(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  XMapRaised(info.info.x11.display, info.info.x11.window);
  XFlush(info.info.x11.display);
  return true;
#else
  static_cast<void>(window);
  return false;
#endif
}

}  // namespace sdl::x11
