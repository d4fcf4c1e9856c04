#pragma once

#include <cstdint>

#include "app/base/clock.h"

namespace testing_support {

// A clock that moves only when the program blocks, and counts the blocks.
struct FakeClock : base::Clock {
  std::int64_t now = 0;
  int blocks = 0;
  std::int64_t nowMs() override { return now; }
  void block(std::int64_t ms) override {
    now += ms;
    ++blocks;
  }
  // No other thread runs on virtual time: the whole wait passes at once.
  void blockUntil(base::Bell& /*bell*/, std::int64_t ms) override { block(ms); }
};

}  // namespace testing_support
