#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace sdl {

// SIGTERM, SIGINT and SIGHUP ask the program to end. They are blocked in every
// thread and taken by a watcher thread of their own, so no wait of the game's,
// however deep, can hold them up, and nothing unsafe runs in a signal handler.
class QuitSignals {
 public:
  // Blocks the signals in this thread and every thread it starts after this;
  // onQuit runs on the watcher thread at the first of them.
  explicit QuitSignals(std::function<void()> onQuit);
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  void watch();

  std::function<void()> onQuit_;
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace sdl
