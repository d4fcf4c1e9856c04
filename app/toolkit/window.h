#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/toolkit/units.h"
#include "media/picture.h"

namespace toolkit {

using base::Rgb;
using media::PictureRef;

namespace SystemColor {
inline constexpr Rgb ButtonFace{240, 240, 240};
inline constexpr Rgb ButtonText{0, 0, 0};
}  // namespace SystemColor

class Window;
class WindowSystem;

enum class Align { Left, Center, Right };
enum class Border { None, Sunken, Raised };

struct Font {
  std::string name = "MS Sans Serif";
  double points = 8.25;
  int weight = 400;  // 400 regular, 600 semi-bold, 700 bold
};

// A control of a window's design. Positions are twips relative to the
// container: the window itself, or a picture box.
class Control {
 public:
  Control(Window& window, std::string name, Control* container, double left, double top,
          double width, double height);
  // Leaves its window, which may live on: nothing then draws or clicks it.
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  Window& window() const { return window_; }
  Control* container() const { return container_; }

  double left() const { return left_; }
  double top() const { return top_; }
  double width() const { return width_; }
  double height() const { return height_; }
  bool visible() const { return visible_; }
  void setLeft(double twips);
  void setTop(double twips);
  void setSize(double widthTwips, double heightTwips);
  void setVisible(bool on);

  // Top-left corner relative to the window's client area, in twips.
  double windowLeft() const;
  double windowTop() const;
  // Visible only if it and every container are.
  bool shown() const;

 protected:
  void changed() const;

 private:
  Window& window_;
  std::string name_;
  Control* container_;
  double left_, top_, width_, height_;
  bool visible_ = true;
};

class Label : public Control {
 public:
  using Control::Control;

  const std::string& caption() const { return caption_; }
  const Font& font() const { return font_; }
  Rgb foreColor() const { return foreColor_; }
  Align alignment() const { return align_; }
  void setCaption(std::string text);
  void setFont(Font font);
  void setFontName(std::string name);
  void setForeColor(Rgb c);
  void setAlignment(Align a);

 private:
  std::string caption_;
  Font font_;
  Rgb foreColor_ = SystemColor::ButtonText;
  Align align_ = Align::Left;
};

class PictureBox : public Control {
 public:
  using Control::Control;

  const PictureRef& picture() const { return picture_; }
  Rgb backColor() const { return backColor_; }
  bool autoSize() const { return autoSize_; }
  Border border() const { return border_; }
  // An auto-sized box takes the picture's size, plus its border.
  void setPicture(PictureRef pic);
  void setBackColor(Rgb c);
  void setAutoSize(bool on);
  void setBorder(Border b);

  std::function<void()> onClick;

  // Both kinds of edge are two pixels wide, inside the box.
  static constexpr int kSunkenBorderPixels = 2;

 private:
  void fitToPicture();

  PictureRef picture_;
  Rgb backColor_ = SystemColor::ButtonFace;
  bool autoSize_ = false;
  Border border_ = Border::None;
};

// A periodic tick source owned by a window. Ticks do not pile up: one that
// falls due while the thread is busy comes once, when it is free. A timer's
// own tick never interrupts its handler, even when the handler runs the event
// pump: it comes after the handler, if the timer is still enabled.
class Timer {
 public:
  Timer(Window& window, std::string name, int intervalMs, bool enabled);
  // Leaves its window, which may live on and tick its other timers.
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& name() const { return name_; }
  int interval() const { return interval_; }
  bool enabled() const { return enabled_; }
  // Enabling a disabled timer starts a fresh interval; enabling an enabled one
  // changes nothing.
  void setEnabled(bool on);
  std::int64_t dueAt() const { return dueAt_; }

  std::function<void()> onTick;

 private:
  friend class WindowSystem;
  Window& window_;
  std::string name_;
  int interval_;
  bool enabled_ = false;
  bool ticking_ = false;  // its handler is running
  std::int64_t dueAt_ = 0;
};

// A borderless top-level window built from a design table. Handlers are
// virtual methods named like the events they answer.
class Window {
 public:
  Window(WindowSystem& system, std::string name, std::string caption, double clientWidth,
         double clientHeight);
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  virtual void Form_Load() {}
  virtual void Form_KeyPress(std::int16_t& /*KeyAscii*/) {}
  virtual void Form_Unload(int& /*Cancel*/) {}
  virtual void Form_Resize() {}

  WindowSystem& system() const { return system_; }
  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }

  double left() const { return left_; }
  double top() const { return top_; }
  double width() const { return width_; }
  double height() const { return height_; }
  // The window has no border, so its client area is the whole window.
  double scaleWidth() const { return width_; }
  double scaleHeight() const { return height_; }
  void setLeft(double twips);
  void setTop(double twips);
  void setBounds(double left, double top, double width, double height);

  Rgb backColor() const { return backColor_; }
  void setBackColor(Rgb c);
  const PictureRef& icon() const { return icon_; }
  void setIcon(PictureRef pic) { icon_ = std::move(pic); }
  bool keyPreview() const { return keyPreview_; }
  void setKeyPreview(bool on) { keyPreview_ = on; }
  bool alwaysOnTop() const { return alwaysOnTop_; }
  void setAlwaysOnTop(bool on) { alwaysOnTop_ = on; }
  // A window kept above the others takes the keyboard focus only if it asks.
  bool takesFocus() const { return takesFocus_; }
  void setTakesFocus(bool on) { takesFocus_ = on; }

  // Controls in creation order, which is also their stacking order.
  const std::vector<Control*>& controls() const { return controls_; }
  const std::vector<Timer*>& timers() const { return timers_; }
  void setTabOrder(std::vector<std::string> names) { tabOrder_ = std::move(names); }
  const std::vector<std::string>& tabOrder() const { return tabOrder_; }
  Control* find(const std::string& name) const;

  bool loaded() const { return loaded_; }
  bool isVisible() const { return visible_; }

  // Set by any change that shows on screen; the window system repaints.
  bool dirty() const { return dirty_; }
  void invalidate() { dirty_ = true; }
  void clearDirty() { dirty_ = false; }

 private:
  friend class Control;
  friend class Timer;
  friend class WindowSystem;

  WindowSystem& system_;
  std::string name_;
  std::string caption_;
  double left_ = 0, top_ = 0, width_, height_;
  Rgb backColor_ = SystemColor::ButtonFace;
  PictureRef icon_;
  bool keyPreview_ = false;
  bool alwaysOnTop_ = false;
  bool takesFocus_ = false;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  std::vector<std::string> tabOrder_;
  bool loaded_ = false;
  bool visible_ = false;
  bool dirty_ = true;
};

}  // namespace toolkit
