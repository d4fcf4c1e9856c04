#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>
#include <thread>

namespace sdl {

// SIGTERM, SIGINT and SIGHUP ask the program to end. They are blocked in every
// thread and taken by a watcher thread of their own, so no wait of the game's,
// however deep, can hold them up, and nothing unsafe runs in a signal handler.
// The same thread answers a second start of the game that calls on this one.
//
// The watcher calls nothing of SDL's. It ends the event loop's wait with a
// signal of its own, SIGUSR1, sent to the thread that made this (the main
// one) and unblocked there only while it waits for events: a wake sent at
// any other time stays pending until the next wait, which it then ends at
// once. Its handler hands the wake to SDL's own quit handler, which SDL runs
// on its next pump of events as a quit event; the backend takes that event
// for the wake it is (see tookWake).
class QuitSignals {
 public:
  // Blocks the signals in this thread and every thread it starts after this:
  // before any thread starts, and before SDL starts, so that SDL puts its
  // quit handler on SIGTERM.
  QuitSignals();
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // Once SDL has started: takes its quit handler for the wake. False when
  // SDL has none (a build without signals): then nothing can end a wait.
  bool takeSdlQuitHandler();

  // Starts the watcher, once what onQuit and onCall use is ready. onQuit runs
  // on it at the first of the signals, one that came before included; onCall
  // at each connection, from this user, to the listening socket `calls` (none
  // when -1); after either, the watcher ends the main thread's current or
  // next wait for events. Without a thread the signals end the program as by
  // default.
  void watch(std::function<void()> onQuit, int calls = -1, std::function<void()> onCall = {});

  // On the main thread, at a quit event SDL makes: whether it is a wake
  // rather than SDL's own, once per wake.
  static bool tookWake();

  // On the main thread, for the length of a wait for events: a wake can come.
  class Waiting {
   public:
    Waiting();
    ~Waiting();
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;
  };

 private:
  void run();
  void wake();

  pthread_t main_;
  std::function<void()> onQuit_, onCall_;
  int calls_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace sdl
