#pragma once

#include <cstdint>

namespace base {

class Bell;

// Time as the program sees it. The real one follows the wall clock; the one
// tests use is virtual, so a whole game can run in milliseconds.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t nowMs() = 0;
  // Holds the program's only thread for ms milliseconds: nothing else runs.
  // When the program is asked to end meanwhile, it may end from here.
  virtual void block(std::int64_t ms) = 0;
  // The same, but it ends as soon as bell rings, from whichever thread.
  virtual void blockUntil(Bell& bell, std::int64_t ms) = 0;
};

}  // namespace base
