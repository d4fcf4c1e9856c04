#include "app/toolkit/window_system.h"

#include <algorithm>
#include <limits>

#include "app/toolkit/message_box.h"
#include "media/file_read.h"

namespace toolkit {

WindowSystem::WindowSystem(Backend& backend) : backend_(backend) {}

void WindowSystem::load(Window& w) {
  if (w.loaded_) return;
  backend_.createWindow(w);
  w.loaded_ = true;
  windows_.push_back(&w);
  // Timers run only while their window is loaded: one left enabled from the
  // design or an earlier load starts a fresh interval now.
  for (Timer* t : w.timers_)
    if (t->enabled_) t->dueAt_ = nowMs() + t->interval_;
  tell(Happening::Kind::Load, &w);
  w.Form_Load();
}

void WindowSystem::show(Window& w) {
  if (!w.loaded_) load(w);
  if (!w.loaded_) return;
  w.visible_ = true;
  w.invalidate();
  backend_.showWindow(w);
  tell(Happening::Kind::Show, &w);
}

void WindowSystem::hide(Window& w) {
  if (!w.loaded_ || !w.visible_) return;
  w.visible_ = false;
  backend_.hideWindow(w);
  tell(Happening::Kind::Hide, &w);
}

void WindowSystem::unload(Window& w) {
  if (!w.loaded_) return;
  int cancel = 0;
  w.Form_Unload(cancel);
  if (cancel != 0) return;
  forget(w);
  tell(Happening::Kind::Unload, &w);
}

void WindowSystem::forget(Window& w) {
  if (!w.loaded_) return;
  backend_.destroyWindow(w);
  w.loaded_ = false;
  w.visible_ = false;
  std::erase(windows_, &w);
  std::erase(modal_, &w);
  if (pressed_ && &pressed_->window() == &w) pressed_ = nullptr;
  // Whatever lay beneath needs painting again.
  for (Window* other : windows_) other->invalidate();
}

void WindowSystem::released(Window& w) {
  forget(w);
}

void WindowSystem::showModal(Window& w) {
  tell(Happening::Kind::Modal, &w);
  load(w);
  if (!w.loaded_) return;
  modal_.push_back(&w);
  show(w);
  while (w.loaded_) loopOnce(std::numeric_limits<std::int64_t>::max(), &w);
  // A close request that came while the window was busy (its sounds hold the
  // thread) was meant for it, not for the window beneath.
  backend_.dropCloseRequests();
  tell(Happening::Kind::ModalEnd, &w);
}

void WindowSystem::maximise(Window& w) {
  w.setBounds(0, 0, screenWidth(), screenHeight());
}

void WindowSystem::endProgram(int status) {
  ended_ = true;
  exitStatus_ = status;
  tell(Happening::Kind::End);
  throw ProgramEnded{status};
}

void WindowSystem::pumpOnce() {
  tell(Happening::Kind::Pump);
  while (auto e = backend_.waitEvent(0)) dispatch(*e);
  deliverDueTicks();
  paintDirty();
}

void WindowSystem::start(Window& startup) {
  startup_ = &startup;
  try {
    load(startup);
    show(startup);
  } catch (const ProgramEnded&) {
  }
}

int WindowSystem::run(Window& startup) {
  start(startup);
  runUntil(std::numeric_limits<std::int64_t>::max());
  return exitStatus_;
}

bool WindowSystem::runUntil(std::int64_t deadlineMs) {
  try {
    while (!ended_ && nowMs() < deadlineMs) loopOnce(deadlineMs);
  } catch (const ProgramEnded&) {
  }
  return ended_;
}

void WindowSystem::loopOnce(std::int64_t deadlineMs, const Window* modal) {
  deliverDueTicks();
  paintDirty();
  // A modal window may have unloaded itself from one of those ticks.
  if (modal && !modal->loaded_) return;
  std::int64_t wait = msUntilNextTick();
  if (deadlineMs != std::numeric_limits<std::int64_t>::max()) {
    const std::int64_t untilDeadline = deadlineMs - nowMs();
    if (untilDeadline <= 0) return;
    if (wait < 0 || untilDeadline < wait) wait = untilDeadline;
  }
  resting(wait);
  if (auto e = backend_.waitEvent(wait)) dispatch(*e);
}

// Reads that follow closely (the frog's frames, 50 ms apart) reuse their
// buffers; a longer wait (for a key, or for a sound to end) lets them go, so
// a waiting game holds none.
void WindowSystem::resting(std::int64_t waitMs) {
  constexpr std::int64_t kClose = 200;
  if (waitMs < 0 || waitMs > kClose) media::letGoSpareBuffers();
}

void WindowSystem::messageBox(const std::string& title, const std::string& text) {
  // Nobody is left to read it once the program has been asked to end.
  if (backend_.quitRequested()) return;
  paintDirty();
  MessageBox box(*this, title, text);
  // Over the window it speaks for: the topmost one on screen, else the screen.
  const Window* owner = nullptr;
  for (const Window* w : windows_)
    if (w->visible_) owner = w;
  if (owner)
    box.centreOn(owner->left(), owner->top(), owner->width(), owner->height());
  else
    box.centreOn(0, 0, screenWidth(), screenHeight());
  showModal(box);
}

double WindowSystem::screenWidth() {
  const Screen s = backend_.screen();
  return s.toTwips(s.bounds.width);
}
double WindowSystem::screenHeight() {
  const Screen s = backend_.screen();
  return s.toTwips(s.bounds.height);
}

void WindowSystem::randomize() {
  rng_.seed(backend_.clockSeed());
}

double WindowSystem::random() {
  if (randomSource_) return randomSource_();
  return std::uniform_real_distribution<double>(0.0, 1.0)(rng_);
}

void WindowSystem::block(std::int64_t ms) {
  paintDirty();
  backend_.sleepMs(ms);
  if (backend_.quitRequested()) quit();
}

void WindowSystem::quit() {
  if (startup_ && startup_->loaded_) unload(*startup_);
  endProgram(0);
}

void WindowSystem::blockUntil(base::Bell& bell, std::int64_t ms) {
  paintDirty();
  resting(ms);
  backend_.sleepUntil(bell, ms);
  if (backend_.quitRequested()) quit();
}

void WindowSystem::paintDirty() {
  for (Window* w : windows_) {
    if (w->visible_ && w->dirty_) {
      w->dirty_ = false;
      backend_.paint(*w);
    }
  }
}

void WindowSystem::windowMoved(Window& w) {
  backend_.moveWindow(w);
}

void WindowSystem::controlGone(const Control& c) {
  if (pressed_ == &c) pressed_ = nullptr;
}

void WindowSystem::timerGone(Timer& t) {
  std::replace(ticking_.begin(), ticking_.end(), &t, static_cast<Timer*>(nullptr));
}

void WindowSystem::timerChanged(Timer& t) {
  tell(t.enabled() ? Happening::Kind::Enable : Happening::Kind::Disable, &t.window_, &t);
}

// Each timer comes due on a fixed grid of its interval; a tick that was missed
// while the thread was busy is delivered once, and the grid goes on from there.
void WindowSystem::deliverDueTicks() {
  for (;;) {
    const std::int64_t now = nowMs();
    Timer* next = nullptr;
    for (Window* w : windows_)
      for (Timer* t : w->timers_)
        if (t->enabled_ && !t->ticking_ && t->dueAt_ <= now && (!next || t->dueAt_ < next->dueAt_))
          next = t;
    if (!next) return;
    const std::int64_t interval = std::max(next->interval_, 1);
    next->dueAt_ += interval * ((now - next->dueAt_) / interval + 1);
    tell(Happening::Kind::Tick, &next->window_, next);
    if (!next->onTick) continue;
    next->ticking_ = true;
    ticking_.push_back(next);
    struct Done {
      std::vector<Timer*>& ticking;
      ~Done() {
        if (Timer* t = ticking.back()) t->ticking_ = false;
        ticking.pop_back();
      }
    } done{ticking_};
    next->onTick();
  }
}

std::int64_t WindowSystem::msUntilNextTick() {
  std::int64_t soonest = -1;
  for (Window* w : windows_)
    for (Timer* t : w->timers_)
      if (t->enabled_ && !t->ticking_ && (soonest < 0 || t->dueAt_ < soonest)) soonest = t->dueAt_;
  return soonest < 0 ? -1 : std::max<std::int64_t>(0, soonest - nowMs());
}

bool WindowSystem::acceptsInput(const Window* w) const {
  return w && w->loaded_ && (modal_.empty() || modal_.back() == w);
}

// While a modal window is up, keys and close requests meant for the program
// go to it: the window beneath may hold the keyboard focus, and a close
// request (Alt+F4) the desktop aimed at it must not end the whole game.
Window* WindowSystem::inputTarget(Window* w) const {
  return modal_.empty() ? w : modal_.back();
}

PictureBox* WindowSystem::boxAt(Window& w, int x, int y) const {
  const auto& cs = w.controls();
  const Screen screen = backend_.screen();
  for (auto it = cs.rbegin(); it != cs.rend(); ++it) {
    auto* box = dynamic_cast<PictureBox*>(*it);
    if (!box || !box->shown()) continue;
    const int left = screen.toPixels(box->windowLeft()), top = screen.toPixels(box->windowTop());
    if (x >= left && y >= top && x < left + screen.toPixels(box->width()) &&
        y < top + screen.toPixels(box->height()))
      return box;
  }
  return nullptr;
}

// A click is a press and a release of the left button on the same visible box.
void WindowSystem::click(Window& w, const Event& e) {
  PictureBox* box = acceptsInput(&w) ? boxAt(w, e.x, e.y) : nullptr;
  if (e.kind == Event::Kind::Press) {
    pressed_ = box;
    return;
  }
  const bool same = box && box == pressed_;
  pressed_ = nullptr;
  if (same && box->onClick) box->onClick();
}

void WindowSystem::dispatch(const Event& e) {
  if (e.kind == Event::Kind::Quit) return quit();
  Window* w = e.window;
  if (!w || std::find(windows_.begin(), windows_.end(), w) == windows_.end()) return;
  switch (e.kind) {
    case Event::Kind::Expose:
      w->invalidate();
      break;
    case Event::Kind::Resize:
      w->Form_Resize();
      w->invalidate();
      break;
    case Event::Kind::Close:
      unload(*inputTarget(w));
      break;
    case Event::Kind::Key: {
      std::int16_t key = e.keyAscii;
      inputTarget(w)->Form_KeyPress(key);
      break;
    }
    case Event::Kind::Press:
    case Event::Kind::Release:
      click(*w, e);
      break;
    case Event::Kind::Quit:
      break;
  }
}

std::string upperCase(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace toolkit
