#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace sdl {

// SIGTERM, SIGINT and SIGHUP ask the program to end. They are blocked in every
// thread and taken by a watcher thread of their own, so no wait of the game's,
// however deep, can hold them up, and nothing unsafe runs in a signal handler.
// The same thread answers a second start of the game that calls on this one.
class QuitSignals {
 public:
  // Blocks the signals in this thread and every thread it starts after this:
  // before any thread starts.
  QuitSignals();
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // Starts the watcher, once what onQuit and onCall use is ready. onQuit runs
  // on it at the first of the signals, one that came before included; onCall
  // at each connection, from this user, to the listening socket `calls` (none
  // when -1). Without a thread the signals end the program as by default.
  void watch(std::function<void()> onQuit, int calls = -1, std::function<void()> onCall = {});

 private:
  void run();

  std::function<void()> onQuit_, onCall_;
  int calls_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace sdl
