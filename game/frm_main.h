#pragma once

#include <cstdint>
#include <string>

#include "app/toolkit/services.h"
#include "app/toolkit/window.h"
#include "media/sound_channel.h"

namespace game {

// The full-screen game window: the talking frog's opening, then the letter
// turns, with the reward window every tenth letter.
class FrmMain : public toolkit::Window {
 public:
  explicit FrmMain(toolkit::Services& services);

  void Form_Load() override;
  void Form_KeyPress(std::int16_t& KeyAscii) override;
  void Form_Unload(int& Cancel) override;

  void picStop_Click();
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();

  // The design, in stacking order; labels on the window paint beneath the
  // picture boxes.
  toolkit::Label Label2;
  toolkit::PictureBox Picture2;
  toolkit::PictureBox Picture1;
  toolkit::Label Label1;
  toolkit::Label lblScore;
  toolkit::PictureBox picStop;
  toolkit::Label lblCopyright;
  media::SoundChannel MMControl1;
  toolkit::Timer Timer1;
  toolkit::Timer Timer2;
  toolkit::Timer Timer3;

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
  void loadPicture(toolkit::PictureBox& box, const std::string& name);
  // Closes whatever the channel holds and opens the named sound; the open waits.
  void reopenSound(const std::string& name);

  toolkit::Services& services_;
  toolkit::WindowSystem& ws_;
};

}  // namespace game
