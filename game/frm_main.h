#pragma once

#include <cstdint>
#include <string>

#include "app/services.h"
#include "app/window.h"
#include "media/sound_channel.h"

namespace game {

// The full-screen game window: the talking frog's opening, then the letter
// turns, with the reward window every tenth letter.
class FrmMain : public ui::Window {
 public:
  explicit FrmMain(app::Services& services);

  void Form_Load() override;
  void Form_KeyPress(std::int16_t& KeyAscii) override;
  void Form_Unload(int& Cancel) override;

  void picStop_Click();
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();

  // The design, in stacking order; labels on the window paint beneath the
  // picture boxes.
  ui::Label Label2;
  ui::PictureBox Picture2;
  ui::PictureBox Picture1;
  ui::Label Label1;
  ui::Label lblScore;
  ui::PictureBox picStop;
  ui::Label lblCopyright;
  media::SoundChannel MMControl1;
  ui::Timer Timer1;
  ui::Timer Timer2;
  ui::Timer Timer3;

  // State of the game.
  std::string CurrentLetter;
  std::int32_t LettersEaten = 0;
  bool Eating = false;

  // Statics of the tick handlers.
  std::int16_t FrameNo = 0;
  std::int16_t TalkTicks = 0;
  bool TalkToggle = false;

 private:
  void Yumble();
  void SetCurrentLetter();

  std::string asset(const std::string& name) const;
  void loadPicture(ui::PictureBox& box, const std::string& name);
  // Closes whatever the channel holds and opens the named sound; the open waits.
  void reopenSound(const std::string& name);

  app::Services& services_;
  ui::WindowSystem& ws_;
};

}  // namespace game
