#include "app/sdl/quit_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace sdl {
namespace {

constexpr int kWake = SIGUSR1;

sigset_t quitSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

sigset_t wakeSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, kWake);
  return set;
}

// SDL's handler sets a flag that its next pump turns into a quit event; it
// is never run for SIGTERM itself, which stays blocked.
using Handler = void (*)(int);
Handler sdlQuitHandler = nullptr;
std::atomic<bool> woken{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onWake(int) {
  const int saved = errno;
  woken = true;
  sdlQuitHandler(SIGTERM);
  errno = saved;
}

// Only the user who runs the game may call on it.
bool fromThisUser(int calls) {
  const int caller = accept4(calls, nullptr, nullptr, SOCK_CLOEXEC);
  if (caller < 0) return false;
  ucred who{};
  socklen_t size = sizeof who;
  const bool mine =
      getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &who, &size) == 0 && who.uid == getuid();
  close(caller);
  return mine;
}

}  // namespace

QuitSignals::QuitSignals() : main_(pthread_self()) {
  sigset_t set = quitSignals();
  sigaddset(&set, kWake);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // SDL puts its handler only where there is none; a SIGTERM that a parent
  // ignores is still taken by the watcher while it is blocked.
  signal(SIGTERM, SIG_DFL);
}

bool QuitSignals::takeSdlQuitHandler() {
  struct sigaction term {};
  if (sigaction(SIGTERM, nullptr, &term) != 0 || (term.sa_flags & SA_SIGINFO) ||
      term.sa_handler == SIG_DFL || term.sa_handler == SIG_IGN)
    return false;
  sdlQuitHandler = term.sa_handler;
  struct sigaction wake {};
  wake.sa_handler = onWake;
  wake.sa_flags = SA_RESTART;  // no call but a wait is cut short
  sigemptyset(&wake.sa_mask);
  return sigaction(kWake, &wake, nullptr) == 0;
}

void QuitSignals::wake() {
  if (sdlQuitHandler) pthread_kill(main_, kWake);
}

bool QuitSignals::tookWake() {
  return woken.exchange(false);
}

QuitSignals::Waiting::Waiting() {
  const sigset_t set = wakeSignal();
  if (sdlQuitHandler) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

QuitSignals::Waiting::~Waiting() {
  const sigset_t set = wakeSignal();
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
    std::fprintf(stderr, "yumble: no thread to watch for quit signals: %s\n", e.what());
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

void QuitSignals::run() {
  const sigset_t set = quitSignals();
  const int signals = signalfd(-1, &set, SFD_CLOEXEC);
  if (signals < 0) {
    std::fputs("yumble: cannot watch for quit signals\n", stderr);
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
      if (!told && onQuit_) {
        onQuit_();
        wake();
      }
      told = true;
    }
    if ((fds[1].revents & POLLIN) && fromThisUser(calls_) && onCall_) {
      onCall_();
      wake();
    }
    if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) fds[1].fd = -1;
  }
  close(signals);
}

}  // namespace sdl
