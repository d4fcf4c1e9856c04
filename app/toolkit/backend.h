#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/base/bell.h"
#include "app/toolkit/happening.h"
#include "app/toolkit/screen_choice.h"

namespace toolkit {

class Window;

struct Event {
  // Press and Release are the left mouse button's; Quit is the system asking
  // the whole program to end (a signal, or the desktop logging out). Resize:
  // the desktop gave the full-screen window a size other than the monitor's
  // it was made for; screen() is the new one.
  enum class Kind { Key, Press, Release, Close, Expose, Resize, Quit };
  Kind kind = Kind::Key;
  Window* window = nullptr;   // none for Quit
  std::int16_t keyAscii = 0;  // Key: the typed character's code
  int x = 0, y = 0;           // Press, Release: pixels from the client area's top-left
};

struct Size {
  int width = 0, height = 0;
};

// What the window system needs from the platform: native windows, painting,
// input and time. One implementation sits on SDL2, the other on a virtual
// clock for the tests.
class Backend {
 public:
  virtual ~Backend() = default;

  virtual std::int64_t nowMs() = 0;
  // Holds the thread; input that arrives meanwhile stays queued, in order.
  // Returns early when woken or when the program is asked to quit.
  virtual void sleepMs(std::int64_t ms) = 0;
  // The same, ended early when bell rings (from another thread).
  virtual void sleepUntil(base::Bell& bell, std::int64_t ms) = 0;
  // Whether the system has asked the program to end; from then on it should
  // not wait for anything.
  virtual bool quitRequested() { return false; }
  // The next event, waiting at most timeoutMs (no limit when negative).
  virtual std::optional<Event> waitEvent(std::int64_t timeoutMs) = 0;
  // Takes in whatever input has arrived and forgets the close requests among
  // it, keeping the rest in order.
  virtual void dropCloseRequests() {}
  // A seed that differs from run to run.
  virtual std::uint64_t clockSeed() = 0;

  // Native windows: created hidden when a window is loaded, destroyed when it
  // is unloaded. Geometry comes from the Window itself.
  virtual void createWindow(Window& w) = 0;
  virtual void destroyWindow(Window& w) = 0;
  virtual void showWindow(Window& w) = 0;  // maps it and brings it to the front
  virtual void hideWindow(Window& w) = 0;
  virtual void moveWindow(Window& w) = 0;
  virtual void paint(Window& w) = 0;

  // The monitor the program plays on, and how much it enlarges the designs.
  virtual Screen screen() = 0;

  // A step of the window system's; only a screen that keeps a record cares.
  virtual void happened(const Happening& /*what*/) {}
};

}  // namespace toolkit
