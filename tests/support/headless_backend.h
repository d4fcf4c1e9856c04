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
  // A monitor of the given size at the desktop's corner; the designs keep
  // their own size unless a scale is given.
  explicit HeadlessBackend(Size screen = {1024, 768}, double scale = 1)
      : screen_{{0, 0, screen.width, screen.height}, scale} {}

  // Input, delivered at atMs or as soon after as the program is free.
  void key(std::int64_t atMs, Window& w, std::int16_t keyAscii);
  void type(std::int64_t atMs, Window& w, const std::string& text);
  // A press and a release of the left button at one place.
  void click(std::int64_t atMs, Window& w, int x, int y);
  void press(std::int64_t atMs, Window& w, int x, int y);
  void release(std::int64_t atMs, Window& w, int x, int y);
  void closeRequest(std::int64_t atMs, Window& w);
  // The desktop gives w's screen another size.
  void resizeScreen(std::int64_t atMs, Window& w, Size screen);
  // The system asks the program to end (a signal): even a sleep ends there.
  void quit(std::int64_t atMs);

  // Called at each paint, to look at the window as it would be seen.
  std::function<void(const Window&)> onPaint;

  const std::vector<Entry>& record() const { return record_; }
  void note(Entry::What what, std::string subject) {
    record_.push_back({now_, what, std::move(subject)});
  }
  // Forgets what was recorded so far, so that a long run keeps a short record.
  void clearRecord() { record_.clear(); }
  // Each box shown, as "title|text".
  const std::vector<std::string>& boxes() const { return boxes_; }
  // Whether message boxes are answered with Return as soon as they show.
  bool answerMessageBoxes = true;
  int paints(const Window& w) const;
  bool isShown(const Window& w) const;

  std::int64_t nowMs() override { return now_; }
  void sleepMs(std::int64_t ms) override;
  bool quitRequested() override { return quitAt_ >= 0 && now_ >= quitAt_; }
  // No other thread runs on virtual time: only a bell already rung ends it early.
  void sleepUntil(base::Bell& bell, std::int64_t ms) override {
    if (!bell.waitFor(0)) sleepMs(ms);
  }
  std::optional<Event> waitEvent(std::int64_t timeoutMs) override;
  void dropCloseRequests() override;
  std::uint64_t clockSeed() override { return static_cast<std::uint64_t>(now_) + 1; }
  void createWindow(Window& w) override;
  void destroyWindow(Window& w) override;
  void showWindow(Window& w) override;
  void hideWindow(Window& w) override;
  void moveWindow(Window&) override {}
  void paint(Window& w) override;
  toolkit::Screen screen() override { return screen_; }
  void happened(const toolkit::Happening& h) override;

 private:
  void schedule(std::int64_t atMs, Event e);
  Event delivered(Event e);

  toolkit::Screen screen_;
  std::int64_t now_ = 0;
  std::int64_t quitAt_ = -1;
  std::deque<std::pair<std::int64_t, Event>> input_;
  std::vector<Entry> record_;
  std::vector<std::string> boxes_;
  std::map<const Window*, int> paints_;
  std::map<const Window*, bool> shown_;
};

}  // namespace testing_support
