#pragma once

#include <cstdint>

namespace base {

// Time as the program sees it. The real one follows the wall clock; the one
// tests use is virtual, so a whole game can run in milliseconds.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t nowMs() = 0;
  // Holds the program's only thread for ms milliseconds: nothing else runs.
  // It may return early after a wake(), so a caller waiting for something
  // checks for it again.
  virtual void block(std::int64_t ms) = 0;
  // Ends a block() early; callable from any thread, such as a sound
  // device's when a sound finishes.
  virtual void wake() {}
};

}  // namespace base
