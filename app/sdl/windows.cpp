#include "app/sdl/backend.h"

#include <algorithm>
#include <iostream>

#include "app/sdl/log.h"

namespace sdl {
namespace {

constexpr Rgb kWhite{255, 255, 255};

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

void SdlBackend::createWindow(Window& w) {
  if (find(w)) return;
  auto n = std::make_unique<Native>();
  n->window = &w;
  n->popup = w.alwaysOnTop();
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
  // A window manager keeps ordinary windows behind a full-screen one, so a
  // window that must stay on top is one it does not manage.
  if (n->popup) flags |= SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_POPUP_MENU;
  n->sdl =
      SDL_CreateWindow(w.caption().c_str(), toPixels(w.left()), toPixels(w.top()),
                       std::max(1, toPixels(w.width())), std::max(1, toPixels(w.height())), flags);
  if (!n->sdl) {
    warn("SDL_CreateWindow " + w.name());
  } else {
    if (w.icon()) {
      if (SDL_Surface* icon = iconSurface(*w.icon())) {
        SDL_SetWindowIcon(n->sdl, icon);
        SDL_FreeSurface(icon);
      }
    }
  }
  windows_.push_back(std::move(n));
}

// Made at the first paint, once the window has its size: its pixels are
// allocated once, not first for the design's size.
SDL_Renderer* SdlBackend::renderer(Native& n) {
  if (n.renderer || !n.sdl) return n.renderer;
  // A few pictures and labels need no graphics card: drawn in memory, they
  // spare the GL driver's start-up and tens of megabytes.
  n.renderer = SDL_CreateRenderer(n.sdl, -1, SDL_RENDERER_SOFTWARE);
  if (!n.renderer) n.renderer = SDL_CreateRenderer(n.sdl, -1, 0);
  if (!n.renderer) warn("SDL_CreateRenderer " + n.window->name());
  return n.renderer;
}

void SdlBackend::destroyWindow(Window& w) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const auto& n) { return n->window == &w; });
  if (it == windows_.end()) return;
  Native& n = **it;
  n.pictures.clear();
  n.texts.clear();
  if (n.renderer) SDL_DestroyRenderer(n.renderer);
  if (n.sdl) SDL_DestroyWindow(n.sdl);
  windows_.erase(it);
  if (pressedIn_ == &w) pressedIn_ = nullptr;
  std::erase_if(pending_, [&](const Event& e) { return e.window == &w; });
  focusTopWindow();
}

// Where no window manager runs, the keyboard goes nowhere once the window
// that had it is gone; hand it to the topmost ordinary window.
void SdlBackend::focusTopWindow() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    Native& n = **it;
    if (!n.sdl || n.popup || !(SDL_GetWindowFlags(n.sdl) & SDL_WINDOW_SHOWN)) continue;
    // Refused where the desktop alone decides (Wayland); nothing to do then.
    static_cast<void>(SDL_SetWindowInputFocus(n.sdl));
    return;
  }
}

void SdlBackend::showWindow(Window& w) {
  Native* n = find(w);
  if (!n || !n->sdl) return;
  SDL_ShowWindow(n->sdl);
  SDL_RaiseWindow(n->sdl);
  if (!n->popup) focusTopWindow();
}

void SdlBackend::hideWindow(Window& w) {
  Native* n = find(w);
  if (n && n->sdl) SDL_HideWindow(n->sdl);
}

void SdlBackend::moveWindow(Window& w) {
  Native* n = find(w);
  if (!n || !n->sdl) return;
  const int width = std::max(1, toPixels(w.width())), height = std::max(1, toPixels(w.height()));
  int oldWidth = 0, oldHeight = 0;
  SDL_GetWindowSize(n->sdl, &oldWidth, &oldHeight);
  if (oldWidth != width || oldHeight != height) SDL_SetWindowSize(n->sdl, width, height);
  SDL_SetWindowPosition(n->sdl, toPixels(w.left()), toPixels(w.top()));
}

Size SdlBackend::screenSize() {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0) {
    warn("SDL_GetDisplayBounds");
    return {1024, 768};
  }
  return {bounds.w, bounds.h};
}

void SdlBackend::messageBox(const std::string& title, const std::string& text) {
  // Owned by the topmost shown window, so a window manager keeps it above.
  SDL_Window* parent = nullptr;
  for (auto it = windows_.rbegin(); it != windows_.rend() && !parent; ++it)
    if ((*it)->sdl && (SDL_GetWindowFlags((*it)->sdl) & SDL_WINDOW_SHOWN)) parent = (*it)->sdl;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), parent) != 0) {
    warn("SDL_ShowSimpleMessageBox");
    std::cerr << title << "\n" << text << "\n";
  }
  focusTopWindow();
}

}  // namespace sdl
