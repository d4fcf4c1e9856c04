#include "app/sdl/quit_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <system_error>

namespace sdl {
namespace {

sigset_t quitSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

// Only the user who runs the game may call on it.
void answer(int calls, const std::function<void()>& onCall) {
  const int caller = accept4(calls, nullptr, nullptr, SOCK_CLOEXEC);
  if (caller < 0) return;
  ucred who{};
  socklen_t size = sizeof who;
  if (getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &who, &size) == 0 && who.uid == getuid() &&
      onCall)
    onCall();
  close(caller);
}

}  // namespace

QuitSignals::QuitSignals() {
  const sigset_t set = quitSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitSignals::~QuitSignals() {
  if (!watcher_.joinable()) return;
  stopping_ = true;
  pthread_kill(watcher_.native_handle(), SIGHUP);
  watcher_.join();
}

void QuitSignals::watch(std::function<void()> onQuit, int calls, std::function<void()> onCall) {
  onQuit_ = std::move(onQuit);
  onCall_ = std::move(onCall);
  calls_ = calls;
  try {
    watcher_ = std::thread([this] { run(); });
  } catch (const std::system_error& e) {
    std::cerr << "yumble: no thread to watch for quit signals: " << e.what() << "\n";
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

void QuitSignals::run() {
  const sigset_t set = quitSignals();
  const int signals = signalfd(-1, &set, SFD_CLOEXEC);
  if (signals < 0) {
    std::cerr << "yumble: cannot watch for quit signals\n";
    return;
  }
  pollfd fds[2] = {{signals, POLLIN, 0}, {calls_, POLLIN, 0}};
  bool told = false;
  for (;;) {
    if (poll(fds, 2, -1) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info;
      if (read(signals, &info, sizeof info) != sizeof info) continue;
      if (stopping_) break;
      if (!told && onQuit_) onQuit_();
      told = true;
    }
    if (fds[1].revents & POLLIN) answer(calls_, onCall_);
    if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) fds[1].fd = -1;
  }
  close(signals);
}

}  // namespace sdl
