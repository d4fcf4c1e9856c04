#pragma once

#include "app/services.h"
#include "app/window.h"
#include "media/sound_channel.h"

namespace reward {

// The little window that celebrates every tenth letter: flashing colours
// around the frog in its cap, applause, a word of praise, and it closes itself.
class FrmAllRight : public ui::Window {
 public:
  explicit FrmAllRight(app::Services& services);

  void Form_Load() override;
  void Timer1_Timer();
  void Timer2_Timer();

  ui::PictureBox Picture1;
  media::SoundChannel MMControl1;
  ui::Timer Timer1;
  ui::Timer Timer2;

  // The classic sixteen numbered colours; 0 (black) is never drawn.
  static ui::Rgb paletteColour(int n);

 private:
  app::Services& services_;
  ui::WindowSystem& ws_;
};

}  // namespace reward
