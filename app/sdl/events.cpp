#include "app/sdl/backend.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "app/sdl/keys.h"
#include "app/sdl/x11.h"

namespace sdl {
namespace {

int clampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, 0, INT_MAX));
}

}  // namespace

std::optional<Event> SdlBackend::waitEvent(std::int64_t timeoutMs) {
  const std::int64_t deadline = nowMs() + timeoutMs;
  while (pending_.empty()) {
    SDL_Event e;
    int got;
    const std::int64_t untilRest = restPointer();
    if (timeoutMs == 0) {
      got = SDL_PollEvent(&e);
    } else {
      const std::int64_t left = timeoutMs < 0 ? -1 : std::max<std::int64_t>(0, deadline - nowMs());
      // Wake when the pointer will have rested, to hide it.
      const bool toRest = untilRest >= 0 && (left < 0 || untilRest < left);
      std::int64_t wait = toRest ? untilRest : left;
      // Where no wake can come (SDL told to leave signals alone), what the
      // watcher asks is seen within a slice.
      constexpr std::int64_t kSliceMs = 100;
      const bool slice = !wakeable_ && (wait < 0 || wait > kSliceMs);
      if (slice) wait = kSliceMs;
      {
        const QuitSignals::Waiting waiting;
        got = wait < 0   ? SDL_WaitEvent(&e)
              : wait > 0 ? SDL_WaitEventTimeout(&e, clampToInt(wait))
                         : SDL_PollEvent(&e);
      }
      if (slice) takeRequests();
      if (!got && (toRest || slice)) continue;
    }
    if (!got) return std::nullopt;
    translate(e);
  }
  Event e = pending_.front();
  pending_.pop_front();
  return e;
}

// What the watcher asked for, on the main thread.
void SdlBackend::takeRequests() {
  if (comeForwardAsked_.exchange(false)) comeForward();
  if (quit_) pending_.push_back(Event{Event::Kind::Quit});
}

void SdlBackend::dropCloseRequests() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) translate(e);
  std::erase_if(pending_, [](const Event& p) { return p.kind == Event::Kind::Close; });
}

std::int64_t SdlBackend::restPointer() {
  if (pointerHidden_) return -1;
  const std::int64_t left = pointerMovedAt_ + pointerRestMs_ - nowMs();
  if (left > 0) return left;
  // Hidden only over this program's windows; elsewhere the desktop's shows.
  SDL_ShowCursor(SDL_DISABLE);
  pointerHidden_ = true;
  return -1;
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

void SdlBackend::adoptSize(Native& n, int width, int height) {
  toolkit::Rect real{screen_.bounds.x, screen_.bounds.y, width, height};
  SDL_Rect monitor;
  if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(n.sdl), &monitor) == 0)
    real.x = monitor.x, real.y = monitor.y;
  if (real == screen_.bounds) return;
  screen_ = {real, toolkit::scaleFor(real)};
  // Pictures and text are drawn afresh at the new scale.
  for (auto& other : windows_) {
    ready(*other);
    other->pictures.clear();
    other->texts.clear();
  }
  push(Event::Kind::Resize, n.window);
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
      // Alt+F4 is only keys too: a child mashing them must not close the game.
      if (Native* n = findSdl(e.key.windowID)) {
        if (auto code = keyAsciiOfKey(e.key.keysym.sym)) {
          Event key{Event::Kind::Key, n->window};
          key.keyAscii = *code;
          pending_.push_back(key);
        }
      }
      break;
    case SDL_MOUSEMOTION:
      pointerMovedAt_ = nowMs();
      if (pointerHidden_) SDL_ShowCursor(SDL_ENABLE);
      pointerHidden_ = false;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) {
        if (Native* n = findSdl(e.button.windowID)) {
          // A click on a window drawn inside this one is that window's.
          Sint32 x = e.button.x, y = e.button.y;
          if (Native* overlay = overlayAt(*n, x, y)) n = overlay;
          Event button{e.type == SDL_MOUSEBUTTONDOWN ? Event::Kind::Press : Event::Kind::Release,
                       n->window};
          button.x = x, button.y = y;
          pending_.push_back(button);
        }
      }
      break;
    case SDL_WINDOWEVENT:
      if (Native* n = findSdl(e.window.windowID)) {
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE:
            push(Event::Kind::Close, n->window);
            break;
          case SDL_WINDOWEVENT_MOVED: {
            // Only the program places its windows: a window manager lets
            // anyone drag a window with Alt held, so put it back. A manager
            // that insists on its own place (beside a panel) is let be.
            const SDL_Rect place = placeOf(*n->window);
            if ((SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_FULLSCREEN) ||
                (e.window.data1 == place.x && e.window.data2 == place.y)) {
              n->putBack = 0;
            } else if (n->putBack < 3) {
              ++n->putBack;
              moveWindow(*n->window);
            }
            break;
          }
          case SDL_WINDOWEVENT_SHOWN:
          case SDL_WINDOWEVENT_RESTORED:
            // Shown by us or shown again by the desktop. X says what it lost
            // by then (nothing when it was mapped before the first paint).
            bringForward(*n);
            if (!onX11_) n->wholeNext = true;
            push(Event::Kind::Expose, n->window);
            break;
          case SDL_WINDOWEVENT_LEAVE:
            // SDL has just let the keyboard go (see x11::holdKeyboard); the
            // window with the focus takes it back at once.
            if (SDL_Window* focused = SDL_GetKeyboardFocus();
                focused && SDL_GetWindowKeyboardGrab(focused))
              static_cast<void>(x11::holdKeyboard(focused));
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!n->popup && (SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_FULLSCREEN))
              adoptSize(*n, e.window.data1, e.window.data2);
            n->wholeNext = true;
            push(Event::Kind::Expose, n->window);
            break;
          case SDL_WINDOWEVENT_EXPOSED:
            // X lost what was shown: where it said so (its word comes
            // first), else all of it; nothing when it lost it only before
            // the first paint (as it maps a window, before anything is drawn).
            if (std::exchange(n->lostBeforePaint, false) && n->lost.empty()) break;
            if (n->lost.empty()) n->wholeNext = true;
            push(Event::Kind::Expose, n->window);
            break;
          default:
            break;
        }
      }
      break;
    case SDL_SYSWMEVENT:
      if (auto lost = x11::lostArea(*e.syswm.msg))
        for (auto& n : windows_)
          if (n->sdl && x11::windowId(n->sdl) == lost->window) {
            // Lost before the first paint reached X, which drew over it.
            if (lost->after < n->firstSent)
              n->lostBeforePaint = true;
            else
              n->lost.push_back(lost->area);
          }
      break;
    case SDL_QUIT:
      noteLostDisplay();
      pending_.push_back(Event{Event::Kind::Quit});
      break;
    default:
      if (e.type == wakeEvent_) takeRequests();
      break;
  }
}

}  // namespace sdl
