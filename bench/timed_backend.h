#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "app/toolkit/backend.h"
#include "app/toolkit/window.h"

namespace bench {

// Passes everything to the real backend and writes a line for each key, each
// paint and each new eating frame, with the time, so a script can measure the
// running program from outside.
class TimedBackend : public toolkit::Backend {
 public:
  TimedBackend(toolkit::Backend& inner, std::FILE* log) : inner_(inner), log_(log) {}

  std::int64_t nowMs() override { return inner_.nowMs(); }
  void sleepMs(std::int64_t ms) override { inner_.sleepMs(ms); }
  void sleepUntil(base::Bell& bell, std::int64_t ms) override { inner_.sleepUntil(bell, ms); }
  std::optional<toolkit::Event> waitEvent(std::int64_t timeoutMs) override {
    auto e = inner_.waitEvent(timeoutMs);
    if (e && e->kind == toolkit::Event::Kind::Key) line("key", std::to_string(e->keyAscii));
    return e;
  }
  std::uint64_t clockSeed() override { return inner_.clockSeed(); }
  void createWindow(toolkit::Window& w) override { inner_.createWindow(w); }
  void destroyWindow(toolkit::Window& w) override { inner_.destroyWindow(w); }
  void showWindow(toolkit::Window& w) override { inner_.showWindow(w); }
  void hideWindow(toolkit::Window& w) override { inner_.hideWindow(w); }
  void moveWindow(toolkit::Window& w) override { inner_.moveWindow(w); }
  toolkit::Screen screen() override { return inner_.screen(); }

  void paint(toolkit::Window& w) override {
    inner_.paint(w);
    if (!firstPaint_) {
      firstPaint_ = true;
      const auto wall = std::chrono::system_clock::now().time_since_epoch();
      line("first-paint-wall-ns",
           std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()));
    }
    if (w.name() != "frmMain") return;
    if (auto* score = dynamic_cast<toolkit::Label*>(w.find("lblScore"));
        score && score->visible() && score->caption() != lastScore_) {
      lastScore_ = score->caption();
      line("score", lastScore_);
    }
    // The letter on show, so that a script can tell which key eats it.
    if (auto* letter = dynamic_cast<toolkit::Label*>(w.find("Label1"));
        letter && !letter->caption().empty() && letter->caption() != lastLetter_) {
      lastLetter_ = letter->caption();
      line("letter", lastLetter_);
    }
    if (auto* frog = dynamic_cast<toolkit::PictureBox*>(w.find("Picture1"));
        frog && frog->picture().get() != lastFrame_) {
      lastFrame_ = frog->picture().get();
      line("frame", "");
    }
  }

 private:
  void line(const char* what, const std::string& detail) {
    const auto t = std::chrono::steady_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(t).count();
    std::fprintf(log_, "%.3f %s %s\n", ms, what, detail.c_str());
    std::fflush(log_);
  }

  toolkit::Backend& inner_;
  std::FILE* log_;
  bool firstPaint_ = false;
  std::string lastScore_;
  std::string lastLetter_;
  const void* lastFrame_ = nullptr;
};

}  // namespace bench
