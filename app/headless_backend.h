#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/backend.h"

namespace ui {

// A screen that exists only in memory, on a virtual clock: sleeping and
// waiting move the clock forward at once. Input is scripted at given times;
// whatever happens is written to a record the tests read.
class HeadlessBackend : public Backend {
 public:
  struct Line {
    std::int64_t t;
    std::string text;
  };
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

  const std::vector<Line>& lines() const { return lines_; }
  // The record's texts that begin with prefix, in order.
  std::vector<std::string> texts(const std::string& prefix = "") const;
  const std::vector<Box>& messageBoxes() const { return boxes_; }
  int paints(const Window& w) const;
  bool isShown(const Window& w) const;

  std::int64_t nowMs() override { return now_; }
  void sleepMs(std::int64_t ms) override;
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
  void trace(const std::string& what) override { lines_.push_back({now_, what}); }

 private:
  void schedule(std::int64_t atMs, Event e);

  Size screen_;
  std::int64_t now_ = 0;
  std::deque<std::pair<std::int64_t, Event>> input_;
  std::vector<Line> lines_;
  std::vector<Box> boxes_;
  std::map<const Window*, int> paints_;
  std::map<const Window*, bool> shown_;
};

}  // namespace ui
