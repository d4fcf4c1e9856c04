#include "app/sdl/quit_signals.h"

#include <pthread.h>
#include <signal.h>

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

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onQuit) : onQuit_(std::move(onQuit)) {
  const sigset_t set = quitSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  watcher_ = std::thread([this] { watch(); });
}

QuitSignals::~QuitSignals() {
  stopping_ = true;
  pthread_kill(watcher_.native_handle(), SIGHUP);
  watcher_.join();
}

void QuitSignals::watch() {
  const sigset_t set = quitSignals();
  bool told = false;
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (stopping_) return;
    if (!told && onQuit_) onQuit_();
    told = true;
  }
}

}  // namespace sdl
