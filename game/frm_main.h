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
  void Form_Resize() override;
  void Form_Unload(int& Cancel) override;

  void picStop_Click();
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();

  // The design, in stacking order; labels on the window paint beneath the
  // picture boxes.
  toolkit::Label Label2;           // the title, "YUMBLE"
  toolkit::PictureBox Picture2;    // the talking frog of the opening
  toolkit::PictureBox Picture1;    // the eating frog, out of sight until the opening ends
  toolkit::Label Label1;           // the big letter, in front of the eating frog's mouth
  toolkit::Label lblScore;         // the purple count of letters eaten
  toolkit::PictureBox picStop;     // the stop sign, top right: ends the game
  toolkit::Label lblCopyright;     // the notice line at the bottom
  media::SoundChannel MMControl1;  // the window's sound channel
  toolkit::Timer Timer1;           // the eating animation, 50 ms
  toolkit::Timer Timer2;           // the talking animation, 150 ms
  toolkit::Timer Timer3;           // the arrangement and the directions, once after 2000 ms

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
  // The stop sign in the top-right corner, the notice along the bottom.
  void placeCorners();
  void SetCurrentLetter();

  std::string asset(const std::string& name) const;
  void loadPicture(toolkit::PictureBox& box, const std::string& name);
  // Closes whatever the channel holds and opens the named sound; the open waits.
  void reopenSound(const std::string& name);

  toolkit::Services& services_;
  toolkit::WindowSystem& ws_;
};

}  // namespace game
