#include "app/sdl/x11.h"

#include <SDL_syswm.h>

namespace sdl::x11 {
namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
bool wmInfo(SDL_Window* window, SDL_SysWMinfo& info) {
  SDL_VERSION(&info.version);
  return SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}
#endif

}  // namespace

bool isX11(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  return wmInfo(window, info);
#else
  static_cast<void>(window);
  return false;
#endif
}

bool showWithoutWaiting(SDL_Window* window, Uint32 background) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!wmInfo(window, info)) return false;
  XSetWindowBackground(info.info.x11.display, info.info.x11.window, background);
  XMapRaised(info.info.x11.display, info.info.x11.window);
  return true;
#else
  static_cast<void>(window);
  static_cast<void>(background);
  return false;
#endif
}

}  // namespace sdl::x11
