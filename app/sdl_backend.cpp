#include "app/sdl_backend.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "app/keys.h"

namespace ui {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kShadow{128, 128, 128};
constexpr Rgb kLight{192, 192, 192};

void warn(const std::string& what) {
  std::cerr << "yumble: " << what << ": " << SDL_GetError() << "\n";
}

void setColour(SDL_Renderer* r, Rgb c) {
  if (SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255) != 0) warn("SDL_SetRenderDrawColor");
}

void fill(SDL_Renderer* r, Rgb c, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  setColour(r, c);
  const SDL_Rect rect{x, y, w, h};
  if (SDL_RenderFillRect(r, &rect) != 0) warn("SDL_RenderFillRect");
}

// False when nothing of the area can show.
bool clipTo(SDL_Renderer* r, const SDL_Rect& clip) {
  if (clip.w <= 0 || clip.h <= 0) return false;
  if (SDL_RenderSetClipRect(r, &clip) != 0) {
    warn("SDL_RenderSetClipRect");
    return false;
  }
  return true;
}

SDL_Rect intersection(const SDL_Rect& a, const SDL_Rect& b) {
  SDL_Rect out{0, 0, 0, 0};
  if (!SDL_IntersectRect(&a, &b, &out)) return SDL_Rect{0, 0, 0, 0};
  return out;
}

// The classic two-pixel sunken edge, within the box.
void sunkenBorder(SDL_Renderer* r, const SDL_Rect& b) {
  fill(r, kShadow, b.x, b.y, b.w - 1, 1);
  fill(r, kShadow, b.x, b.y, 1, b.h - 1);
  fill(r, kWhite, b.x, b.y + b.h - 1, b.w, 1);
  fill(r, kWhite, b.x + b.w - 1, b.y, 1, b.h);
  fill(r, kBlack, b.x + 1, b.y + 1, b.w - 3, 1);
  fill(r, kBlack, b.x + 1, b.y + 1, 1, b.h - 3);
  fill(r, kLight, b.x + 1, b.y + b.h - 2, b.w - 2, 1);
  fill(r, kLight, b.x + b.w - 2, b.y + 1, 1, b.h - 2);
}

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

int clampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, 0, INT_MAX));
}

// SDL ends its own wait for events by sending an event to our newest window
// over a second X connection. When that window is destroyed at once, as when a
// close request ends the program, the X server may take the event after the
// window is gone, and Xlib's default handler would end the program with
// status 1 for it. That one error is harmless; any other still goes on to
// SDL's handler. (The leading fields of Xlib's XErrorEvent; X11's own headers
// would clash with this program's names.)
struct XErrorView {
  int type;
  void* display;
  unsigned long resourceId;
  unsigned long serial;
  unsigned char errorCode;
  unsigned char requestCode;
  unsigned char minorCode;
};
using XErrorHandler = int (*)(void*, XErrorView*);
XErrorHandler previousXErrorHandler = nullptr;

int onXError(void* display, XErrorView* e) {
  constexpr unsigned char kBadWindow = 3, kSendEvent = 25;
  if (e->errorCode == kBadWindow && e->requestCode == kSendEvent) return 0;
  return previousXErrorHandler ? previousXErrorHandler(display, e) : 0;
}

// Set before SDL starts, so that SDL, which puts back the handler it found
// when it closes its connections, puts back this one.
void forgiveLateWakeUps() {
  void* x11 = SDL_LoadObject("libX11.so.6");
  if (!x11) return;
  using SetHandler = XErrorHandler (*)(XErrorHandler);
  if (auto set = reinterpret_cast<SetHandler>(SDL_LoadFunction(x11, "XSetErrorHandler")))
    previousXErrorHandler = set(onXError);
}

}  // namespace

std::unique_ptr<SdlBackend> SdlBackend::create(const std::string& programDir, std::string& why) {
  const bool named = std::getenv("SDL_VIDEODRIVER") != nullptr;
  if (!named && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    why = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return nullptr;
  }
  // Only a desktop will do: never the console or an off-screen stand-in.
  if (!named) SDL_SetHint(SDL_HINT_VIDEODRIVER, std::getenv("DISPLAY") ? "x11" : "wayland");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // A close request reaches the window it was meant for, and only once.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  forgiveLateWakeUps();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    const char* display = std::getenv(std::getenv("DISPLAY") ? "DISPLAY" : "WAYLAND_DISPLAY");
    why =
        "cannot reach the display '" + std::string(display ? display : "") + "': " + SDL_GetError();
    return nullptr;
  }
  if (TTF_Init() != 0) {
    why = std::string("cannot start the font renderer: ") + TTF_GetError();
    SDL_Quit();
    return nullptr;
  }
  SDL_StartTextInput();
  std::unique_ptr<SdlBackend> backend(new SdlBackend(programDir));
  if (!backend->fonts_.hasProgramRules())
    std::cerr << "yumble: " << programDir << "/fonts.conf not read; using the system's fonts\n";
  return backend;
}

SdlBackend::SdlBackend(const std::string& programDir) : fonts_(programDir + "/fonts.conf") {}

SdlBackend::~SdlBackend() {
  while (!windows_.empty()) destroyWindow(*windows_.back()->window);
  for (auto& [key, f] : openFonts_)
    if (f) TTF_CloseFont(f);
  TTF_Quit();
  SDL_Quit();
}

std::int64_t SdlBackend::nowMs() {
  return static_cast<std::int64_t>(SDL_GetTicks64());
}

void SdlBackend::sleepMs(std::int64_t ms) {
  if (ms > 0) SDL_Delay(static_cast<Uint32>(std::min<std::int64_t>(ms, INT_MAX)));
}

std::uint64_t SdlBackend::clockSeed() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

std::optional<Event> SdlBackend::waitEvent(std::int64_t timeoutMs) {
  const std::int64_t deadline = nowMs() + timeoutMs;
  while (pending_.empty()) {
    SDL_Event e;
    int got;
    if (timeoutMs == 0) {
      got = SDL_PollEvent(&e);
    } else if (timeoutMs < 0) {
      got = SDL_WaitEvent(&e);
    } else {
      const std::int64_t left = deadline - nowMs();
      got = left > 0 ? SDL_WaitEventTimeout(&e, clampToInt(left)) : SDL_PollEvent(&e);
    }
    if (!got) return std::nullopt;
    translate(e);
  }
  Event e = pending_.front();
  pending_.pop_front();
  return e;
}

SdlBackend::Native* SdlBackend::find(const Window& w) {
  for (auto& n : windows_)
    if (n->window == &w) return n.get();
  return nullptr;
}

SdlBackend::Native* SdlBackend::findSdl(Uint32 windowId) {
  SDL_Window* sdl = SDL_GetWindowFromID(windowId);
  if (!sdl) return nullptr;
  for (auto& n : windows_)
    if (n->sdl == sdl) return n.get();
  return nullptr;
}

void SdlBackend::push(Event::Kind kind, Window* w) {
  if (w) pending_.push_back(Event{kind, w});
}

void SdlBackend::translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_TEXTINPUT:
      if (Native* n = findSdl(e.text.windowID)) {
        for (std::int16_t code : keyAsciiCodes(e.text.text)) {
          Event key{Event::Kind::Key, n->window};
          key.keyAscii = code;
          pending_.push_back(key);
        }
      }
      break;
    case SDL_KEYDOWN:
      if (Native* n = findSdl(e.key.windowID)) {
        if (e.key.keysym.sym == SDLK_F4 && (e.key.keysym.mod & KMOD_ALT)) {
          push(Event::Kind::Close, n->window);
        } else if (auto code = keyAsciiOfKey(e.key.keysym.sym)) {
          Event key{Event::Kind::Key, n->window};
          key.keyAscii = *code;
          pending_.push_back(key);
        }
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT) {
        Native* n = findSdl(e.button.windowID);
        pressedIn_ = n ? n->window : nullptr;
      }
      break;
    case SDL_MOUSEBUTTONUP:
      // A click is a press and release in the same window.
      if (e.button.button == SDL_BUTTON_LEFT) {
        Native* n = findSdl(e.button.windowID);
        if (n && n->window == pressedIn_) {
          Event click{Event::Kind::Click, n->window};
          click.x = e.button.x, click.y = e.button.y;
          pending_.push_back(click);
        }
        pressedIn_ = nullptr;
      }
      break;
    case SDL_WINDOWEVENT:
      if (Native* n = findSdl(e.window.windowID)) {
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE:
            push(Event::Kind::Close, n->window);
            break;
          case SDL_WINDOWEVENT_MOVED:
            // Only the program places its windows: a window manager lets
            // anyone drag a window with Alt held, so put it back. A manager
            // that insists on its own place (beside a panel) is let be.
            if (e.window.data1 == toPixels(n->window->left()) &&
                e.window.data2 == toPixels(n->window->top())) {
              n->putBack = 0;
            } else if (n->putBack < 3) {
              ++n->putBack;
              moveWindow(*n->window);
            }
            break;
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SHOWN:
          case SDL_WINDOWEVENT_SIZE_CHANGED:
          case SDL_WINDOWEVENT_RESTORED:
            push(Event::Kind::Expose, n->window);
            break;
          default:
            break;
        }
      }
      break;
    case SDL_QUIT:
      if (!windows_.empty()) push(Event::Kind::Close, windows_.front()->window);
      break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      forgetTextures();
      for (auto& n : windows_) push(Event::Kind::Expose, n->window);
      break;
    default:
      break;
  }
}

void SdlBackend::forgetTextures() {
  for (auto& n : windows_) {
    n->pictures.clear();
    n->texts.clear();
  }
}

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
    n->renderer = SDL_CreateRenderer(n->sdl, -1, 0);
    if (!n->renderer) n->renderer = SDL_CreateRenderer(n->sdl, -1, SDL_RENDERER_SOFTWARE);
    if (!n->renderer) warn("SDL_CreateRenderer " + w.name());
  }
  windows_.push_back(std::move(n));
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

void SdlBackend::paint(Window& w) {
  Native* n = find(w);
  if (!n || !n->renderer) return;
  SDL_Renderer* r = n->renderer;
  int width = 0, height = 0;
  if (SDL_GetRendererOutputSize(r, &width, &height) != 0) {
    warn("SDL_GetRendererOutputSize");
    return;
  }
  if (SDL_RenderSetClipRect(r, nullptr) != 0) warn("SDL_RenderSetClipRect");
  setColour(r, w.backColor());
  if (SDL_RenderClear(r) != 0) warn("SDL_RenderClear");
  drawContents(*n, nullptr, 0, 0, SDL_Rect{0, 0, width, height});
  SDL_RenderPresent(r);

  // Keep only what this picture of the window used.
  std::erase_if(n->pictures, [](const auto& item) { return !item.second.used; });
  std::erase_if(n->texts, [](const auto& item) { return !item.second.used; });
  for (auto& [key, c] : n->pictures) c.used = false;
  for (auto& [key, c] : n->texts) c.used = false;
}

// Labels first, beneath the picture boxes, each group in creation order.
void SdlBackend::drawContents(Native& n, const Control* container, double originX, double originY,
                              const SDL_Rect& clip) {
  const auto& controls = n.window->controls();
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* label = dynamic_cast<const Label*>(c)) drawLabel(n, *label, originX, originY, clip);
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* box = dynamic_cast<const PictureBox*>(c))
        drawPictureBox(n, *box, originX, originY, clip);
}

void SdlBackend::drawLabel(Native& n, const Label& label, double originX, double originY,
                           const SDL_Rect& clip) {
  if (label.caption().empty()) return;
  const SDL_Rect box{toPixels(originX + label.left()), toPixels(originY + label.top()),
                     toPixels(label.width()), toPixels(label.height())};
  if (!clipTo(n.renderer, intersection(box, clip))) return;
  Cached* text = textTexture(n, label);
  if (!text) return;
  int x = box.x;
  if (label.alignment() == Align::Center) x += (box.w - text->width) / 2;
  if (label.alignment() == Align::Right) x += box.w - text->width;
  const SDL_Rect to{x, box.y + text->drop, text->width, text->height};
  if (SDL_RenderCopy(n.renderer, text->texture.get(), nullptr, &to) != 0) warn("SDL_RenderCopy");
}

void SdlBackend::drawPictureBox(Native& n, const PictureBox& box, double originX, double originY,
                                const SDL_Rect& clip) {
  SDL_Renderer* r = n.renderer;
  const SDL_Rect outer{toPixels(originX + box.left()), toPixels(originY + box.top()),
                       toPixels(box.width()), toPixels(box.height())};
  if (!clipTo(r, intersection(outer, clip))) return;
  fill(r, box.backColor(), outer.x, outer.y, outer.w, outer.h);
  int edge = 0;
  if (box.border() == Border::Sunken) {
    sunkenBorder(r, outer);
    edge = PictureBox::kSunkenBorderPixels;
  }
  const SDL_Rect inner{outer.x + edge, outer.y + edge, outer.w - 2 * edge, outer.h - 2 * edge};
  const SDL_Rect innerClip = intersection(inner, clip);
  if (innerClip.w <= 0 || innerClip.h <= 0) return;
  if (box.picture() && clipTo(r, innerClip)) {
    if (Cached* pic = pictureTexture(n, box.picture())) {
      const SDL_Rect to{inner.x, inner.y, pic->width, pic->height};
      if (SDL_RenderCopy(r, pic->texture.get(), nullptr, &to) != 0) warn("SDL_RenderCopy");
    }
  }
  drawContents(n, &box, originX + box.left() + toTwips(edge), originY + box.top() + toTwips(edge),
               innerClip);
}

SdlBackend::Cached* SdlBackend::pictureTexture(Native& n, const PictureRef& picture) {
  auto it = n.pictures.find(picture.get());
  if (it == n.pictures.end()) {
    const media::Picture& p = *picture;
    if (p.width <= 0 || p.height <= 0 ||
        p.pixels.size() < static_cast<std::size_t>(p.width) * p.height)
      return nullptr;
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<media::Rgb*>(p.pixels.data()), p.width,
                                           p.height, 24, p.width * 3, SDL_PIXELFORMAT_RGB24);
    if (!s) {
      warn("SDL_CreateRGBSurfaceWithFormatFrom");
      return nullptr;
    }
    TexturePtr texture(SDL_CreateTextureFromSurface(n.renderer, s));
    SDL_FreeSurface(s);
    if (!texture) {
      warn("SDL_CreateTextureFromSurface");
      return nullptr;
    }
    it = n.pictures
             .emplace(picture.get(), Cached{std::move(texture), p.width, p.height, false, picture})
             .first;
  }
  it->second.used = true;
  return &it->second;
}

SdlBackend::Cached* SdlBackend::textTexture(Native& n, const Label& label) {
  const Font& f = label.font();
  const Rgb c = label.foreColor();
  TextKey key{label.caption(), f.name, f.points, f.weight, (c.r << 16) | (c.g << 8) | c.b};
  auto it = n.texts.find(key);
  if (it == n.texts.end()) {
    TTF_Font* font = this->font(f);
    if (!font) return nullptr;
    SDL_Surface* s =
        TTF_RenderUTF8_Blended(font, label.caption().c_str(), SDL_Color{c.r, c.g, c.b, 255});
    if (!s) {
      std::cerr << "yumble: TTF_RenderUTF8_Blended: " << TTF_GetError() << "\n";
      return nullptr;
    }
    TexturePtr texture(SDL_CreateTextureFromSurface(n.renderer, s));
    const int width = s->w, height = s->h;
    SDL_FreeSurface(s);
    if (!texture) {
      warn("SDL_CreateTextureFromSurface");
      return nullptr;
    }
    // The designs were laid out with fonts whose ascent is a full em, so a
    // capital stands well below the label's top. The free look-alikes of some
    // have an ascent no taller than their capitals; lowering their text to a
    // one-em baseline keeps the big letter level with the frog's mouth.
    const int em = static_cast<int>(std::lround(f.points * 96.0 / 72.0));
    const int drop = std::max(0, em - TTF_FontAscent(font));
    it =
        n.texts.emplace(key, Cached{std::move(texture), width, height, false, nullptr, drop}).first;
  }
  it->second.used = true;
  return &it->second;
}

TTF_Font* SdlBackend::font(const Font& f) {
  // Sizes are in points at 96 dots per inch, as the designs were drawn.
  const int points = std::max(1, static_cast<int>(std::lround(f.points)));
  for (const std::string& name : {f.name, std::string("sans-serif")}) {
    const auto file = fonts_.find(name, f.weight);
    if (!file) continue;
    const auto key = std::make_tuple(file->path, file->index, points);
    auto it = openFonts_.find(key);
    if (it == openFonts_.end()) {
      TTF_Font* opened = TTF_OpenFontIndexDPI(file->path.c_str(), points, file->index, 96, 96);
      if (!opened)
        std::cerr << "yumble: cannot open font " << file->path << ": " << TTF_GetError() << "\n";
      it = openFonts_.emplace(key, opened).first;
    }
    if (it->second) return it->second;
  }
  return nullptr;
}

}  // namespace ui
