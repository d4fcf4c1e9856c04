#pragma once

#include "app/toolkit/services.h"
#include "app/toolkit/window.h"
#include "media/sound_channel.h"

namespace reward {

// The little window that celebrates every tenth letter: flashing colours
// around the frog in its cap, applause, a word of praise, and it closes itself.
class FrmAllRight : public toolkit::Window {
 public:
  explicit FrmAllRight(toolkit::Services& services);

  void Form_Load() override;
  void Timer1_Timer();
  void Timer2_Timer();

  toolkit::PictureBox Picture1;    // the frog in its cap before the star, sunken edge
  media::SoundChannel MMControl1;  // the window's sound channel: applause, then praise
  toolkit::Timer Timer1;           // the colour flashing, 100 ms
  toolkit::Timer Timer2;           // the sounds and the end, once after 3500 ms

  // The classic sixteen numbered colours; 0 (black) is never drawn.
  static toolkit::Rgb paletteColour(int n);

 private:
  toolkit::Services& services_;
  toolkit::WindowSystem& ws_;
};

}  // namespace reward
