#include "app/sdl/x11.h"

#include <SDL_syswm.h>
#include <poll.h>

#include <cerrno>
#include <cstdint>

namespace sdl::x11 {
namespace {

#if defined(SDL_VIDEO_DRIVER_WAYLAND)
// SDL has loaded the library already; the program does not link to it.
template <typename Call>
Call waylandCall(const char* name) {
  static void* library = SDL_LoadObject("libwayland-client.so.0");
  return library ? reinterpret_cast<Call>(SDL_LoadFunction(library, name)) : nullptr;
}

bool waylandInfo(SDL_Window* window, SDL_SysWMinfo& info) {
  SDL_VERSION(&info.version);
  return SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_WAYLAND;
}
#endif

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

bool desktopManages(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!wmInfo(window, info)) return true;
  // The manager names a window of its own on the root window, and that
  // window names itself; a stale name left by one that has gone does not.
  Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  auto named = [&](::Window on) -> ::Window {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ::Window found = None;
    if (XGetWindowProperty(display, on, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1)
      found = *reinterpret_cast<::Window*>(data);
    if (data) XFree(data);
    return found;
  };
  const ::Window manager = named(DefaultRootWindow(display));
  if (manager == None) return false;
  // An error (the window is gone) must not reach SDL's handler, which ends the program.
  XSync(display, False);
  int (*previous)(Display*, XErrorEvent*) =
      XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const bool alive = named(manager) == manager;
  XSync(display, False);
  XSetErrorHandler(previous);
  return alive;
#else
  static_cast<void>(window);
  return true;
#endif
}

bool showWithoutWaiting(SDL_Window* window, Uint32 background) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!wmInfo(window, info)) return false;
  if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
    // The state a window asks for before it is mapped is the one it starts in.
    const Atom state = XInternAtom(info.info.x11.display, "_NET_WM_STATE", False);
    const Atom full = XInternAtom(info.info.x11.display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(info.info.x11.display, info.info.x11.window, state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&full), 1);
  }
  XSetWindowBackground(info.info.x11.display, info.info.x11.window, background);
  XMapRaised(info.info.x11.display, info.info.x11.window);
  return true;
#else
  static_cast<void>(window);
  static_cast<void>(background);
  return false;
#endif
}

void activate(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!wmInfo(window, info)) return;
  ::Display* display = info.info.x11.display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = info.info.x11.window;
  e.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 2;  // from a pager or taskbar: the user asked for it
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(display);
#else
  static_cast<void>(window);
#endif
}

bool holdKeyboard(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!wmInfo(window, info)) return false;
  // Keys still go to whichever of the program's windows has the focus.
  return XGrabKeyboard(info.info.x11.display, info.info.x11.window, True, GrabModeAsync,
                       GrabModeAsync, CurrentTime) == GrabSuccess;
#else
  static_cast<void>(window);
  return false;
#endif
}

std::function<int()> waylandBroken(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
  SDL_SysWMinfo info;
  if (!waylandInfo(window, info)) return [] { return 0; };
  using Call = int (*)(wl_display*);
  static const auto getError = waylandCall<Call>("wl_display_get_error");
  static const auto getFd = waylandCall<Call>("wl_display_get_fd");
  wl_display* display = info.info.wl.display;
  const int fd = getFd ? getFd(display) : -1;
  return [display, fd] {
    if (const int error = getError ? getError(display) : 0) return error;
    // The compositor has closed its end, which the library learns only when
    // it next reads: the program may be waiting on a sound meanwhile.
    pollfd end{fd, 0, 0};
    return fd >= 0 && poll(&end, 1, 0) == 1 && (end.revents & (POLLHUP | POLLERR)) ? EPIPE : 0;
  };
#else
  static_cast<void>(window);
  return [] { return 0; };
#endif
}

bool fullScreenWhereShown(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
  SDL_SysWMinfo info;
  if (!waylandInfo(window, info) || !info.info.wl.xdg_toplevel) return false;
  using Marshal = void (*)(void*, std::uint32_t, ...);
  using Roundtrip = int (*)(wl_display*);
  static const auto marshal = waylandCall<Marshal>("wl_proxy_marshal");
  static const auto roundtrip = waylandCall<Roundtrip>("wl_display_roundtrip");
  if (!marshal || !roundtrip) return false;
  // The requests' numbers in xdg-shell and in the core protocol.
  constexpr std::uint32_t kSetMaxSize = 7, kSetMinSize = 8, kSetFullscreen = 11, kCommit = 6;
  // SDL keeps a window that is not resizable at its size, which a
  // compositor may hold the full screen to (mutter did, with a title bar's
  // height added); SDL itself lifts that before asking.
  marshal(info.info.wl.xdg_toplevel, kSetMaxSize, 0, 0);
  marshal(info.info.wl.xdg_toplevel, kSetMinSize, 0, 0);
  marshal(info.info.wl.xdg_toplevel, kSetFullscreen, static_cast<void*>(nullptr));
  marshal(info.info.wl.surface, kCommit);
  // SDL takes the state and size from the compositor's answer (as if the
  // desktop had made the window full screen), and the output from where
  // the window shows once it has pixels.
  return roundtrip(info.info.wl.display) >= 0;
#else
  static_cast<void>(window);
  return false;
#endif
}

unsigned long windowId(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (wmInfo(window, info)) return info.info.x11.window;
#else
  static_cast<void>(window);
#endif
  return 0;
}

unsigned long nextRequest(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (wmInfo(window, info)) return NextRequest(info.info.x11.display);
#else
  static_cast<void>(window);
#endif
  return 0;
}

std::optional<Lost> lostArea(const SDL_SysWMmsg& msg) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (msg.subsystem == SDL_SYSWM_X11 && msg.msg.x11.event.type == Expose) {
    const XExposeEvent& e = msg.msg.x11.event.xexpose;
    return Lost{e.window, SDL_Rect{e.x, e.y, e.width, e.height}, e.serial};
  }
#else
  static_cast<void>(msg);
#endif
  return std::nullopt;
}

}  // namespace sdl::x11
