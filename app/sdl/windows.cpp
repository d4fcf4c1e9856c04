#include "app/sdl/backend.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <system_error>
#include <utility>

#include "app/sdl/log.h"
#include "app/sdl/x11.h"
#include "media/picture_scale.h"

namespace sdl {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Uint32 kOverlayFormat = SDL_PIXELFORMAT_RGB888;

// White is the icon's background, so it lets the desktop show through.
SDL_Surface* iconSurface(const media::Picture& p) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, p.width, p.height, 32, SDL_PIXELFORMAT_RGBA32);
  if (!s) return nullptr;
  for (int y = 0; y < p.height; ++y) {
    auto* row = static_cast<Uint8*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = p.at(x, y);
      row[4 * x] = c.r, row[4 * x + 1] = c.g, row[4 * x + 2] = c.b;
      row[4 * x + 3] = c == kWhite ? 0 : 255;
    }
  }
  return s;
}
}  // namespace

// The desktop's window is made only when it is first shown, in its final
// place: placing a window already made costs the program several waits on
// the X server, each of which the window manager may lengthen.
void SdlBackend::createWindow(Window& w) {
  if (find(w)) return;
  auto n = std::make_unique<Native>();
  n->window = &w;
  n->popup = w.alwaysOnTop();
  windows_.push_back(std::move(n));
}

bool SdlBackend::realise(Native& n) {
  if (n.sdl || n.drawn) return true;
  const Window& w = *n.window;
  const SDL_Rect place = placeOf(w);
  // A Wayland compositor places every window itself, each its own way (one
  // in a corner, one off centre, one lowering the game under its panel), so
  // a window kept above the game is drawn inside the game's own window, where
  // the program places it. (SDL's Wayland popups have no valid placement and
  // weston refuses them, ending the connection.)
  if (n.popup && !onX11_) {
    if (Native* host = topOrdinaryWindow()) {
      n.drawn.reset(SDL_CreateRGBSurfaceWithFormat(0, place.w, place.h, 32, kOverlayFormat));
      if (n.drawn) {
        n.host = host;
        return true;
      }
      warn("SDL_CreateRGBSurfaceWithFormat " + w.name());
    }
  }
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
  // An X window manager keeps ordinary windows behind a full-screen one, so a
  // window that must stay on top is one it does not manage. On Wayland, with
  // no game window to be drawn in yet, it is the game's child (see showWindow).
  if (n.popup) flags |= SDL_WINDOW_ALWAYS_ON_TOP | (onX11_ ? SDL_WINDOW_POPUP_MENU : 0);
  n.sdl = SDL_CreateWindow(w.caption().c_str(), place.x, place.y, place.w, place.h, flags);
  if (!n.sdl) {
    warn("SDL_CreateWindow " + w.name());
    return false;
  }
  n.broken = x11::waylandBroken(n.sdl);
  if (w.icon()) {
    if (SDL_Surface* icon = iconSurface(media::onScreen(*w.icon()))) {
      SDL_SetWindowIcon(n.sdl, icon);
      SDL_FreeSurface(icon);
    }
  }
  // The desktop's own full screen covers its panels and docks, which keep an
  // ordinary window off them. Where nothing manages windows (bare X) that
  // state does nothing, and the window placed over the monitor is the screen.
  // Where a Wayland compositor has a choice of outputs, it is asked once the
  // window is shown (see showNow).
  const toolkit::Rect& b = screen_.bounds;
  if (!n.popup && place.x == b.x && place.y == b.y && place.w == b.width && place.h == b.height &&
      x11::desktopManages(n.sdl)) {
    if (!onX11_ && SDL_GetNumVideoDisplays() > 1)
      n.fullScreenAtShow = true;
    else if (SDL_SetWindowFullscreen(n.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP))
      warn("SDL_SetWindowFullscreen");
  }
  // Every window that takes the keys holds the keyboard while it has them. On
  // Wayland the compositor holds back its shortcuts only for the window with
  // the keyboard, so every window of the game asks.
  if (!n.popup || w.takesFocus() || !onX11_) SDL_SetWindowKeyboardGrab(n.sdl, SDL_TRUE);
  return true;
}

void SdlBackend::destroyWindow(Window& w) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const auto& n) { return n->window == &w; });
  if (it == windows_.end()) return;
  Native& n = **it;
  ready(n);
  if (n.host) uncover(n);
  for (auto& other : windows_)
    if (other->host == &n) {
      other->host = nullptr;
      other->drawn.reset();
      other->overlaid = false;
    }
  n.pictures.clear();
  n.texts.clear();
  if (n.sdl) SDL_DestroyWindow(n.sdl);
  windows_.erase(it);
  std::erase_if(pending_, [&](const Event& e) { return e.window == &w; });
  focusTopWindow();
}

// Where no window manager runs, the keyboard goes nowhere once the window
// that had it is gone; hand it to the topmost ordinary window.
void SdlBackend::focusTopWindow() {
  Native* n = topOrdinaryWindow();
  if (!n) return;
  // SDL forgets a window's hold on the keyboard when another window of the
  // program takes it (a box): ask again, for when the focus is back.
  SDL_SetWindowKeyboardGrab(n->sdl, SDL_TRUE);
  // Refused where the desktop alone decides (Wayland); nothing to do then.
  static_cast<void>(SDL_SetWindowInputFocus(n->sdl));
}

// The topmost shown window that is not kept above the others: the game's.
SdlBackend::Native* SdlBackend::topOrdinaryWindow() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    Native& n = **it;
    if (n.sdl && !n.popup && (SDL_GetWindowFlags(n.sdl) & SDL_WINDOW_SHOWN)) return &n;
  }
  return nullptr;
}

// A new window's pixels are fresh memory, which the system hands over a page
// at a time as they are first written: for a whole screen, thousands of
// interruptions and milliseconds of the first paint. Asking for them all at
// once is quicker, and on a thread of its own costs the game nothing.
void SdlBackend::prepare(Native& n) {
  SDL_Surface* s = SDL_GetWindowSurface(n.sdl);
  if (!s) {
    warn("SDL_GetWindowSurface " + n.window->name());
    return;
  }
  auto* pixels = static_cast<char*>(s->pixels);
  const auto bytes = static_cast<std::size_t>(s->pitch) * static_cast<std::size_t>(s->h);
  auto populate = [pixels, bytes] {
    constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14 on
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto* start = pixels + (page - reinterpret_cast<std::uintptr_t>(pixels) % page) % page;
    if (start < pixels + bytes &&
        madvise(start, static_cast<std::size_t>(pixels + bytes - start), kPopulateWrite) == 0)
      return;
    // Older systems: touch each page, leaving it as it was.
    for (std::size_t at = 0; at < bytes; at += page) {
      volatile char* p = pixels + at;
      *p = *p;
    }
  };
  try {
    n.preparing = std::jthread(populate);
  } catch (const std::system_error&) {
    populate();  // no thread to be had: here, then
  }
}

void SdlBackend::showWindow(Window& w) {
  Native* n = find(w);
  if (!n || !realise(*n)) return;
  if (n->host) {
    n->overlaid = n->wholeNext = true;
    return;
  }
  // On X11 the window goes on screen with its first paint (see paint), never
  // waiting for the desktop to show it; once it has, the window is raised and
  // takes the keyboard (see translate).
  if (!(SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_SHOWN) && x11::isX11(n->sdl)) {
    n->showAtPaint = true;
    return;
  }
  showNow(*n);
  if (n->popup && !onX11_)
    if (Native* owner = topOrdinaryWindow(); owner && SDL_SetWindowModalFor(n->sdl, owner->sdl))
      warn("SDL_SetWindowModalFor");
  bringForward(*n);
}

// SDL never stops that wait when the compositor has gone, spinning on the
// broken connection: a watch ends the program then, as a lost X display does.
void SdlBackend::showNow(Native& n) {
  const std::function<int()>& broken = n.broken;
  std::mutex mutex;
  std::condition_variable done;
  bool shown = onX11_;
  std::jthread watch;
  try {
    if (!shown)
      watch = std::jthread([&] {
        std::unique_lock lock(mutex);
        while (!done.wait_for(lock, std::chrono::milliseconds(200), [&] { return shown; }))
          if (const int error = broken()) {
            sayLost(error);
            std::_Exit(1);
          }
      });
  } catch (const std::system_error&) {
    // No thread to be had: shown unwatched.
  }
  SDL_ShowWindow(n.sdl);
  // Before its first pixels, so that it is never seen anywhere else.
  if (std::exchange(n.fullScreenAtShow, false) && !x11::fullScreenWhereShown(n.sdl) &&
      SDL_SetWindowFullscreen(n.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP))
    warn("SDL_SetWindowFullscreen");
  {
    std::lock_guard lock(mutex);
    shown = true;
  }
  done.notify_all();
}

// To the front, with the keyboard, so play goes on without a click. No window
// manager gives the focus to a window it does not manage, so a window kept
// above the others that wants the keys takes them itself.
void SdlBackend::bringForward(Native& n) {
  // A compositor may have forgotten its grant while the window was hidden:
  // ask again, as a window newly shown.
  if (SDL_GetWindowKeyboardGrab(n.sdl) && !onX11_) {
    SDL_SetWindowKeyboardGrab(n.sdl, SDL_FALSE);
    SDL_SetWindowKeyboardGrab(n.sdl, SDL_TRUE);
  }
  SDL_RaiseWindow(n.sdl);
  if (!n.popup)
    focusTopWindow();
  else if (n.window->takesFocus())
    static_cast<void>(SDL_SetWindowInputFocus(n.sdl));
}

// A window manager may have hidden the game (show desktop, another desktop):
// it is asked to show it, as a taskbar would, and once it has, the game takes
// the keyboard (see translate). Windows above it stay above.
void SdlBackend::comeForward() {
  for (auto& n : windows_) {
    if (!n->sdl || !n->window->isVisible()) continue;
    if (!n->popup) x11::activate(n->sdl);
    if (SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_SHOWN) bringForward(*n);
  }
}

void SdlBackend::hideWindow(Window& w) {
  Native* n = find(w);
  if (n) n->showAtPaint = false;
  if (n && n->sdl) SDL_HideWindow(n->sdl);
  if (n && n->overlaid) {
    n->overlaid = false;
    uncover(*n);
  }
}

// The host draws all of itself again (its pixels held the overlay's), and
// its overlays over that.
void SdlBackend::uncover(Native& overlay) {
  overlay.host->paintedOn = nullptr;
  push(Event::Kind::Expose, overlay.host->window);
}

void SdlBackend::moveWindow(Window& w) {
  Native* n = find(w);
  if (!n) return;
  const SDL_Rect place = placeOf(w);
  if (!n->sdl) {
    // A window that fills the screen is in its final place already: make it
    // now, and its pixels with it, while the game goes on loading.
    const toolkit::Rect& b = screen_.bounds;
    if (place.x == b.x && place.y == b.y && place.w == b.width && place.h == b.height &&
        realise(*n))
      prepare(*n);
    return;
  }
  if (n->host) {
    if (n->drawn->w != place.w || n->drawn->h != place.h) {
      SurfacePtr resized(SDL_CreateRGBSurfaceWithFormat(0, place.w, place.h, 32, kOverlayFormat));
      if (!resized) return warn("SDL_CreateRGBSurfaceWithFormat " + w.name());
      n->drawn = std::move(resized);
    }
    n->wholeNext = true;
    push(Event::Kind::Expose, n->window);
    if (n->overlaid) uncover(*n);
    return;
  }
  // The desktop places a full-screen window.
  if (n->fullScreenAtShow || (SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_FULLSCREEN)) return;
  ready(*n);
  int oldWidth = 0, oldHeight = 0;
  SDL_GetWindowSize(n->sdl, &oldWidth, &oldHeight);
  if (oldWidth != place.w || oldHeight != place.h) SDL_SetWindowSize(n->sdl, place.w, place.h);
  SDL_SetWindowPosition(n->sdl, place.x, place.y);
}

// Twips count from the corner of the monitor in use.
SDL_Rect SdlBackend::placeOf(const Window& w) const {
  return {screen_.bounds.x + screen_.toPixels(w.left()),
          screen_.bounds.y + screen_.toPixels(w.top()), std::max(1, screen_.toPixels(w.width())),
          std::max(1, screen_.toPixels(w.height()))};
}

}  // namespace sdl
