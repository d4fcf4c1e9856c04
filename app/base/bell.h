#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace base {

// Rung by one thread to end another's wait, as when the sound card's thread
// says a sound has ended. Stays rung until reset, so a ring that comes before
// the wait is not lost.
class Bell {
 public:
  void ring() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      rung_ = true;
    }
    changed_.notify_all();
  }
  void reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    rung_ = false;
  }
  // True once rung, waiting at most ms for it.
  bool waitFor(std::int64_t ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(ms < 0 ? 0 : ms),
                             [this] { return rung_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool rung_ = false;
};

}  // namespace base
