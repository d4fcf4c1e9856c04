#include "app/sdl/backend.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/sdl/log.h"

namespace sdl {
namespace {

bool displayBroke = false;

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

// The monitor the program is started on: the one under the pointer, else the
// primary one, which SDL lists first.
toolkit::Screen startingScreen() {
  std::vector<toolkit::Rect> monitors;
  const int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    SDL_Rect b;
    if (SDL_GetDisplayBounds(i, &b) == 0) monitors.push_back({b.x, b.y, b.w, b.h});
  }
  if (monitors.empty()) warn("SDL_GetDisplayBounds");
  // Where the pointer cannot be read (Wayland), the primary monitor until the
  // compositor shows the window on one (see translate).
  std::optional<toolkit::Point> pointer;
  if (std::string_view(SDL_GetCurrentVideoDriver()) == "x11") {
    pointer.emplace();
    SDL_GetGlobalMouseState(&pointer->x, &pointer->y);
  }
  return toolkit::chooseScreen(monitors, pointer, 0);
}

}  // namespace

std::unique_ptr<SdlBackend> SdlBackend::create(std::string& why,
                                               std::optional<toolkit::Screen> screen, int calls) {
  const bool named = std::getenv("SDL_VIDEODRIVER") != nullptr;
  if (!named && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    why = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return nullptr;
  }
  std::unique_ptr<SdlBackend> backend(new SdlBackend());
  // Before any thread starts, so that all of them leave the signals to the
  // watcher, which starts once SDL's event queue is there to take its word.
  backend->signals_ = std::make_unique<QuitSignals>();
  // Only a desktop will do: never the console or an off-screen stand-in. On a
  // Wayland desktop its own driver comes first, since only through it can the
  // game ask the compositor to hold back its shortcuts; X11 (Xwayland) is the
  // fall-back.
  const bool wayland = !named && std::getenv("WAYLAND_DISPLAY");
  if (!named) SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland ? "wayland" : "x11");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The game holds the keyboard, so a window manager's shortcuts cannot take
  // a child out of it; an error box above it still gets the keys, which the
  // window system sends to the topmost modal window.
  SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "1");
  // A full-screen window stays on screen: SDL would otherwise let Alt+Tab
  // through by minimising it, or minimise it when another window takes the
  // keyboard.
  SDL_SetHint(SDL_HINT_ALLOW_ALT_TAB_WHILE_GRABBED, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // A close request reaches the window it was meant for, and only once.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // SDL speaks to the session's message bus where there is one. Where there
  // is none, the bus library would try to start one for it, forking the game
  // to do so; the game needs no bus of its own.
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
  // The game takes only the letters on the keys, which no keyboard
  // composes; the locale's table of compose sequences, thousands of lines
  // that X reads when SDL opens the input method, would cost a fifth of the
  // start-up. (Wayland's keyboard library reads no such empty file.)
  if (!wayland) setenv("XCOMPOSEFILE", "/dev/null", 0);
  // The desktop's mixer shows the game with its menu entry's icon.
  setenv("PULSE_PROP_application.icon_name", "org.yumble.Yumble", 0);
  // Fonts are looked up while SDL reaches the display. The environment is
  // changed only above, before this thread starts: setenv may move the table
  // that a getenv on another thread is reading.
  backend->fonts_ = std::make_unique<FontFinder>();
  int started = wayland ? SDL_Init(SDL_INIT_VIDEO) : -1;
  if (started != 0 && (!wayland || std::getenv("DISPLAY"))) {
    if (wayland) {
      std::fprintf(stderr, "yumble: no Wayland (%s); trying X11\n", SDL_GetError());
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    forgiveLateWakeUps();
    // The window's own pixels, shown straight through X, with no GL behind
    // them. Wayland has no such way: there SDL shows them through GL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    started = SDL_Init(SDL_INIT_VIDEO);
  }
  if (started != 0) {
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
  // Before anything is queued: setting the filter empties the queue.
  backend->wakeEvent_ = SDL_RegisterEvents(1);
  backend->wakeable_ =
      backend->wakeEvent_ != static_cast<Uint32>(-1) && backend->signals_->takeSdlQuitHandler();
  SDL_SetEventFilter(retypeWakes, backend.get());
  backend->onX11_ = std::string_view(SDL_GetCurrentVideoDriver()) == "x11";
  // X says which parts of a window it lost; SDL passes on only that it lost some.
  if (backend->onX11_) SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  SDL_StartTextInput();
  backend->screen_ = screen ? *screen : startingScreen();
  backend->picturesScale_ = backend->screen_.scale;
  backend->signals_->watch([b = backend.get()] { b->askToQuit(); }, calls,
                           [b = backend.get()] { b->askToComeForward(); });
  return backend;
}

bool lostDisplay() {
  return displayBroke;
}

void sayLost(int error) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  std::fprintf(stderr, "yumble: connection to the Wayland display '%s' broken (%s)\n",
               display ? display : "", std::strerror(error));
}

bool SdlBackend::noteLostDisplay() {
  if (displayBroke || onX11_) return displayBroke;
  for (auto& n : windows_) {
    if (const int error = n->broken ? n->broken() : 0) {
      sayLost(error);
      displayBroke = quit_ = true;
      break;
    }
  }
  return displayBroke;
}

SdlBackend::SdlBackend() = default;

SdlBackend::~SdlBackend() {
  signals_.reset();
  SDL_SetEventFilter(nullptr, nullptr);
  while (!windows_.empty()) destroyWindow(*windows_.back()->window);
  for (auto& [key, f] : openFonts_)
    if (f.font) TTF_CloseFont(f.font);
  TTF_Quit();
  SDL_Quit();
}

std::int64_t SdlBackend::nowMs() {
  return static_cast<std::int64_t>(SDL_GetTicks64());
}

// A quit signal rings the bell too, so the wait ends at once. A second start
// of the game is answered meanwhile, a slice at most after it asks.
void SdlBackend::sleepUntil(base::Bell& bell, std::int64_t ms) {
  {
    std::lock_guard lock(sleepMutex_);
    if (quit_) return;
    waitingOn_ = &bell;
  }
  constexpr std::int64_t kSliceMs = 100;
  const std::int64_t end = nowMs() + ms;
  for (std::int64_t left = ms; left > 0 && !bell.waitFor(std::min(left, kSliceMs));
       left = end - nowMs()) {
    if (comeForwardAsked_.exchange(false)) comeForward();
    if (noteLostDisplay()) break;
  }
  std::lock_guard lock(sleepMutex_);
  waitingOn_ = nullptr;
}

void SdlBackend::sleepMs(std::int64_t ms) {
  const std::int64_t end = nowMs() + ms;
  for (std::int64_t left = ms; left > 0 && !quit_; left = end - nowMs()) {
    {
      std::unique_lock lock(sleepMutex_);
      sleeper_.wait_for(lock, std::chrono::milliseconds(left),
                        [this] { return quit_ || comeForwardAsked_; });
    }
    if (comeForwardAsked_.exchange(false)) comeForward();
  }
}

// On the signal watcher's thread: the flag and the bell end any wait of the
// game's, and the watcher's wake then ends a wait for events. Nothing here
// may be reached through signals_: the main thread, let go by the bell, may
// already be ending the watcher.
void SdlBackend::askToQuit() {
  {
    std::lock_guard lock(sleepMutex_);
    quit_ = true;
    if (waitingOn_) waitingOn_->ring();
  }
  sleeper_.notify_all();
}

// On the watcher's thread too: the main thread brings the windows forward.
void SdlBackend::askToComeForward() {
  {
    std::lock_guard lock(sleepMutex_);
    comeForwardAsked_ = true;
  }
  sleeper_.notify_all();
}

// The quit event SDL makes of a wake becomes a wake event, so that SDL's own
// quit events (a Wayland connection lost) stay what they are. On the thread
// that pushes the event: the main one, in its pump.
int SDLCALL SdlBackend::retypeWakes(void* backend, SDL_Event* e) {
  if (e->type == SDL_QUIT && QuitSignals::tookWake())
    e->type = static_cast<SdlBackend*>(backend)->wakeEvent_;
  return 1;
}

std::uint64_t SdlBackend::clockSeed() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace sdl
