#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/toolkit/backend.h"

namespace testing_support {

using toolkit::Event;
using toolkit::Size;
using toolkit::Window;

// One entry of the record: what happened, when, and to whom. The subject is
// the window's name, "window.timer" for a timer, the file name of a picture
// read, or the property or command written to a sound channel.
struct Entry {
  enum class What {
    Load,
    Show,
    Hide,
    Unload,
    Modal,
    ModalEnd,
    End,
    Pump,
    Enable,
    Disable,
    Tick,
    MessageBox,
    Read,
    Sound
  };
  std::int64_t t = 0;
  What what = What::Pump;
  std::string subject;

  // As a person would write it down: "tick frmMain.Timer2", "sound Play (wait)".
  std::string text() const;
};

// A screen that exists only in memory, on a virtual clock: sleeping and
// waiting move the clock forward at once. Input is scripted at given times;
// whatever happens is kept in a typed record the tests read.
class HeadlessBackend : public toolkit::Backend {
 public:
  struct Box {
    std::string title, text;
  };

  explicit HeadlessBackend(Size screen = {1024, 768}) : screen_(screen) {}

  // Input, delivered at atMs or as soon after as the program is free.
  void key(std::int64_t atMs, Window& w, std::int16_t keyAscii);
  void type(std::int64_t atMs, Window& w, const std::string& text);
  void click(std::int64_t atMs, Window& w, int x, int y);
  void closeRequest(std::int64_t atMs, Window& w);

  // Called at each paint, to look at the window as it would be seen.
  std::function<void(const Window&)> onPaint;

  const std::vector<Entry>& record() const { return record_; }
  void note(Entry::What what, std::string subject) {
    record_.push_back({now_, what, std::move(subject)});
  }
  const std::vector<Box>& messageBoxes() const { return boxes_; }
  int paints(const Window& w) const;
  bool isShown(const Window& w) const;

  std::int64_t nowMs() override { return now_; }
  void sleepMs(std::int64_t ms) override;
  // No other thread runs on virtual time: only a bell already rung ends it early.
  void sleepUntil(base::Bell& bell, std::int64_t ms) override {
    if (!bell.waitFor(0)) sleepMs(ms);
  }
  std::optional<Event> waitEvent(std::int64_t timeoutMs) override;
  std::uint64_t clockSeed() override { return static_cast<std::uint64_t>(now_) + 1; }
  void createWindow(Window& w) override;
  void destroyWindow(Window& w) override;
  void showWindow(Window& w) override;
  void hideWindow(Window& w) override;
  void moveWindow(Window&) override {}
  void paint(Window& w) override;
  Size screenSize() override { return screen_; }
  void messageBox(const std::string& title, const std::string& text) override;
  void happened(const toolkit::Happening& h) override;

 private:
  void schedule(std::int64_t atMs, Event e);

  Size screen_;
  std::int64_t now_ = 0;
  std::deque<std::pair<std::int64_t, Event>> input_;
  std::vector<Entry> record_;
  std::vector<Box> boxes_;
  std::map<const Window*, int> paints_;
  std::map<const Window*, bool> shown_;
};

}  // namespace testing_support
