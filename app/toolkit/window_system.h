#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/base/clock.h"
#include "app/toolkit/backend.h"
#include "app/toolkit/window.h"

namespace toolkit {

// Thrown by endProgram() to leave every handler at once. It is deliberately
// not a std::exception, so no handler's failure guard can swallow it.
struct ProgramEnded {
  int status = 0;
};

// The services the windows' handlers ask of the window system, on one thread:
// loading and showing windows, the event loop and its timers, the event pump,
// message boxes, random numbers. Platform details live in the Backend.
class WindowSystem : public base::Clock {
 public:
  explicit WindowSystem(Backend& backend);

  Backend& backend() { return backend_; }

  // Creates the native window, then runs Form_Load.
  void load(Window& w);
  void show(Window& w);
  void hide(Window& w);
  // Runs Form_Unload, then destroys the native window.
  void unload(Window& w);
  // Loads and shows w, and returns once it has unloaded itself. Meanwhile no
  // other window takes keys or clicks.
  void showModal(Window& w);
  void maximise(Window& w);
  [[noreturn]] void endProgram(int status = 0);

  // Handles what is pending (input, ticks, paints), then returns.
  void pumpOnce();
  // Loads the start-up window and shows it, even if its Form_Load failed.
  void start(Window& startup);
  // Starts, then handles events until the program ends; returns its status.
  int run(Window& startup);
  // The same loop, returning when the clock reaches deadlineMs; true if the
  // program ended before. Tests drive the virtual clock with it.
  bool runUntil(std::int64_t deadlineMs);

  void messageBox(const std::string& title, const std::string& text);

  double screenWidth();   // twips
  double screenHeight();  // twips

  void randomize();
  double random();  // uniform in [0, 1)
  // Replaces the generator, so a test can choose the values drawn.
  void setRandomSource(std::function<double()> source) { randomSource_ = std::move(source); }

  // base::Clock
  std::int64_t nowMs() override { return backend_.nowMs(); }
  // Paints what has changed, so the screen is current while the thread waits.
  // When the system asks the program to end meanwhile, it ends from here.
  void block(std::int64_t ms) override;
  void blockUntil(base::Bell& bell, std::int64_t ms) override;

  void paintDirty();

  // Called by windows and timers when they change.
  void windowMoved(Window& w);
  void timerChanged(Timer& t);
  // A control or timer is going away while its window may live on.
  void controlGone(const Control& c);
  void timerGone(Timer& t);
  // A window object is going away, loaded or not.
  void released(Window& w);

  bool ended() const { return ended_; }
  int exitStatus() const { return exitStatus_; }

 private:
  void tell(Happening::Kind kind, const Window* w = nullptr, const Timer* t = nullptr) {
    backend_.happened(Happening{kind, w, t});
  }
  void deliverDueTicks();
  std::int64_t msUntilNextTick();
  void dispatch(const Event& e);
  void click(Window& w, const Event& e);
  // Ends the program as a close request of the start-up window would, and
  // for certain.
  void quit();
  bool acceptsInput(const Window* w) const;
  // The window that input for w goes to: the top modal window while one is up.
  Window* inputTarget(Window* w) const;
  PictureBox* boxAt(Window& w, int x, int y) const;
  void forget(Window& w);
  void loopOnce(std::int64_t deadlineMs, const Window* modal = nullptr);
  void resting(std::int64_t waitMs);

  Backend& backend_;
  std::vector<Window*> windows_;
  std::vector<Window*> modal_;
  Window* startup_ = nullptr;
  PictureBox* pressed_ = nullptr;  // where the left button went down
  std::vector<Timer*> ticking_;    // whose handlers run, innermost last; none if gone
  std::mt19937_64 rng_{0x59756d626c65ULL};
  std::function<double()> randomSource_;
  bool ended_ = false;
  int exitStatus_ = 0;
};

// Upper case of ASCII letters only: no locale may turn another character into
// a letter the game would accept.
std::string upperCase(const std::string& s);

}  // namespace toolkit
