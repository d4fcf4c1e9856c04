#include "app/toolkit/window.h"

#include <algorithm>

#include "app/toolkit/window_system.h"

namespace toolkit {

Control::Control(Window& window, std::string name, Control* container, double left, double top,
                 double width, double height)
    : window_(window),
      name_(std::move(name)),
      container_(container),
      left_(left),
      top_(top),
      width_(width),
      height_(height) {
  window_.controls_.push_back(this);
}

Control::~Control() {
  std::erase(window_.controls_, this);
  window_.system().controlGone(*this);
  window_.invalidate();
}

void Control::changed() const {
  window_.invalidate();
}

void Control::setLeft(double twips) {
  left_ = twips;
  changed();
}

void Control::setTop(double twips) {
  top_ = twips;
  changed();
}

void Control::setSize(double widthTwips, double heightTwips) {
  width_ = widthTwips;
  height_ = heightTwips;
  changed();
}

void Control::setVisible(bool on) {
  visible_ = on;
  changed();
}

double Control::windowLeft() const {
  return left_ + (container_ ? container_->windowLeft() : 0);
}
double Control::windowTop() const {
  return top_ + (container_ ? container_->windowTop() : 0);
}
bool Control::shown() const {
  return visible_ && (!container_ || container_->shown());
}

void Label::setCaption(std::string text) {
  caption_ = std::move(text);
  changed();
}

void Label::setFont(Font font) {
  font_ = std::move(font);
  changed();
}

void Label::setFontName(std::string name) {
  font_.name = std::move(name);
  changed();
}

void Label::setForeColor(Rgb c) {
  foreColor_ = c;
  changed();
}

void Label::setAlignment(Align a) {
  align_ = a;
  changed();
}

void PictureBox::setPicture(PictureRef pic) {
  picture_ = std::move(pic);
  fitToPicture();
  changed();
}

void PictureBox::setBackColor(Rgb c) {
  backColor_ = c;
  changed();
}

void PictureBox::setAutoSize(bool on) {
  autoSize_ = on;
  fitToPicture();
  changed();
}

void PictureBox::setBorder(Border b) {
  border_ = b;
  fitToPicture();
  changed();
}

void PictureBox::fitToPicture() {
  if (!autoSize_ || !picture_) return;
  const int edge = border_ == Border::None ? 0 : 2 * kSunkenBorderPixels;
  setSize(toTwips(picture_->layoutWidth() + edge), toTwips(picture_->layoutHeight() + edge));
}

Timer::Timer(Window& window, std::string name, int intervalMs, bool enabled)
    : window_(window), name_(std::move(name)), interval_(intervalMs) {
  window_.timers_.push_back(this);
  setEnabled(enabled);
}

Timer::~Timer() {
  std::erase(window_.timers_, this);
  window_.system().timerGone(*this);
}

void Timer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (on) dueAt_ = window_.system().nowMs() + interval_;
  window_.system().timerChanged(*this);
}

Window::Window(WindowSystem& system, std::string name, std::string caption, double clientWidth,
               double clientHeight)
    : system_(system),
      name_(std::move(name)),
      caption_(std::move(caption)),
      width_(clientWidth),
      height_(clientHeight) {}

Window::~Window() {
  system_.released(*this);
}

void Window::setLeft(double twips) {
  setBounds(twips, top_, width_, height_);
}
void Window::setTop(double twips) {
  setBounds(left_, twips, width_, height_);
}

void Window::setBounds(double left, double top, double width, double height) {
  left_ = left, top_ = top, width_ = width, height_ = height;
  invalidate();
  if (loaded_) system_.windowMoved(*this);
}

void Window::setBackColor(Rgb c) {
  backColor_ = c;
  invalidate();
}

Control* Window::find(const std::string& name) const {
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](Control* c) { return c->name() == name; });
  return it == controls_.end() ? nullptr : *it;
}

}  // namespace toolkit
