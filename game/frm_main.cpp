#include "game/frm_main.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/base/failure.h"
#include "app/toolkit/error_report.h"
#include "media/asset_path.h"
#include "media/builtin_art.h"
#include "media/picture_scale.h"
#include "reward/frm_all_right.h"

namespace game {
namespace {

constexpr toolkit::Rgb kWhite{255, 255, 255};
constexpr toolkit::Rgb kLightGreen{128, 255, 128};
constexpr toolkit::Rgb kTitleGreen{0, 255, 0};
constexpr toolkit::Rgb kScorePurple{192, 0, 192};

// Counters that stop at their limit: going past it is an overflow failure
// and the counter keeps its value.
template <class Int>
Int plusOne(Int value) {
  if (value == std::numeric_limits<Int>::max()) throw base::overflow();
  return static_cast<Int>(value + 1);
}

}  // namespace

FrmMain::FrmMain(toolkit::Services& services)
    : toolkit::Window(services.windows, "frmMain", "Yumble", 10305, 6750),
      Label2(*this, "Label2", nullptr, 60, -60, 10200, 1545),
      Picture2(*this, "Picture2", nullptr, 60, 1050, 3780, 4980),
      Picture1(*this, "Picture1", nullptr, -20000, 1290, 6000, 3840),
      Label1(*this, "Label1", &Picture1, 510, 945, 1635, 2100),
      lblScore(*this, "lblScore", nullptr, 120, 5640, 8760, 930),
      picStop(*this, "picStop", nullptr, 9735, 30, 480, 480),
      lblCopyright(*this, "lblCopyright", nullptr, 30, 6465, 5640, 270),
      MMControl1(services.audio.newOutput(), services.soundObserver),
      Timer1(*this, "Timer1", 50, false),
      Timer2(*this, "Timer2", 150, false),
      Timer3(*this, "Timer3", 2000, false),
      services_(services),
      ws_(services.windows) {
  setBounds(1005, 1080, 10305, 6750);
  setBackColor(kWhite);
  setKeyPreview(true);
  setIcon(media::art::picture(media::art::programIcon()));

  Label2.setCaption("YUMBLE");
  Label2.setForeColor(kTitleGreen);
  Label2.setFont({"Comic Sans MS", 48, 700});
  Label2.setAlignment(toolkit::Align::Center);

  Picture2.setBackColor(kWhite);
  Picture2.setPicture(media::art::picture(media::art::kFrogRight, services.pictures.scale()));

  Picture1.setBackColor(kLightGreen);
  Picture1.setAutoSize(true);
  Picture1.setPicture(media::art::picture(media::art::kFrogLeft, services.pictures.scale()));

  Label1.setCaption("A");
  Label1.setFont({"Century Gothic", 84.75, 600});

  lblScore.setCaption("You have yumbled");
  lblScore.setForeColor(kScorePurple);
  lblScore.setFont({"Century Gothic", 27.75, 600});
  lblScore.setVisible(false);

  picStop.setBackColor(kWhite);
  picStop.setAutoSize(true);
  picStop.setPicture(media::art::picture(media::art::kStopSign, services.pictures.scale()));
  picStop.setVisible(false);
  picStop.onClick = [this] { picStop_Click(); };

  lblCopyright.setCaption("Yumble \u00a9 2026 the Yumble developers. Made for little hands.");
  lblCopyright.setVisible(false);

  Timer1.onTick = [this] { Timer1_Timer(); };
  Timer2.onTick = [this] { Timer2_Timer(); };
  Timer3.onTick = [this] { Timer3_Timer(); };

  setTabOrder({"Picture1", "Label1", "MMControl1", "Picture2", "Label2", "lblScore", "picStop",
               "lblCopyright"});
}

std::string FrmMain::asset(const std::string& name) const {
  return media::assetPath(services_.programDir, name);
}

void FrmMain::loadPicture(toolkit::PictureBox& box, const std::string& name) {
  box.setPicture(services_.pictures.load(asset(name)));
}

void FrmMain::reopenSound(const std::string& name) {
  MMControl1.command("Close");
  MMControl1.setWait(true);
  MMControl1.setShareable(false);
  MMControl1.setDeviceType("WaveAudio");
  MMControl1.setFileName(asset(name));
  MMControl1.command("Open");
}

void FrmMain::Form_Load() {
  toolkit::guarded(ws_, "Form_Load: ", [&] {
    Eating = false;
    Label1.setCaption("");
    ws_.maximise(*this);
    for (const char* frame : {"f2.bmp", "f3.bmp", "f4.bmp", "f5.bmp", "f6.bmp", "f7.bmp", "f1.bmp"})
      loadPicture(Picture1, frame);
    for (const char* frame : {"talk1.bmp", "talk2.bmp", "talk0.bmp"}) loadPicture(Picture2, frame);
    CurrentLetter = "A";
    ws_.randomize();
    MMControl1.setNotify(false);
    MMControl1.setWait(true);
    MMControl1.setShareable(false);
    MMControl1.setDeviceType("WaveAudio");
    MMControl1.setFileName(asset("ribbit.wav"));
    MMControl1.command("Open");
    Timer2.setEnabled(true);
    ws_.show(*this);
    ws_.pumpOnce();
    MMControl1.command("play");
    ws_.pumpOnce();
  });
}

void FrmMain::picStop_Click() {
  toolkit::guarded(ws_, "picStop_Click: ", [&] { ws_.unload(*this); });
}

void FrmMain::Form_Unload(int& /*Cancel*/) {
  toolkit::guarded(ws_, "Form_Unload: ", [&] {
    ws_.hide(*this);
    ws_.endProgram();
  });
}

// The talking frog: fifteen frames of talk while the greeting croaks, then rest.
void FrmMain::Timer2_Timer() {
  toolkit::guarded(ws_, "Timer2_Timer: ", [&] {
    TalkTicks = plusOne(TalkTicks);
    if (TalkTicks == 16) {
      Timer2.setEnabled(false);
      ws_.pumpOnce();
      loadPicture(Picture2, "talk0.bmp");
      Timer3.setEnabled(true);
    } else if (TalkToggle) {
      loadPicture(Picture2, "talk1.bmp");
      TalkToggle = false;
    } else {
      TalkToggle = true;
      loadPicture(Picture2, "talk2.bmp");
    }
  });
}

// Arranges the screen for play and speaks the directions around the first letter.
void FrmMain::Timer3_Timer() {
  toolkit::guarded(ws_, "Timer3_Timer: ", [&] {
    placeCorners();
    picStop.setVisible(true);
    lblCopyright.setVisible(true);
    Picture2.setLeft(-30000);
    Picture1.setLeft(1000);
    // The talking frog is not seen again: its frames' pixels are let go.
    Picture2.setPicture(nullptr);
    media::forgetFitted();
    ws_.pumpOnce();

    MMControl1.setFileName(asset("yumdir.wav"));
    MMControl1.command("Close");
    MMControl1.setWait(true);
    MMControl1.command("Open");
    MMControl1.setWait(true);
    MMControl1.command("Play");

    // The letter the game will accept, which differs from "A" only if the
    // child ate an unseen "A" before the directions began.
    Label1.setCaption(CurrentLetter);
    ws_.pumpOnce();

    MMControl1.setFileName(asset("yumdir2.wav"));
    MMControl1.command("Close");
    MMControl1.setWait(true);
    MMControl1.command("Open");
    MMControl1.setWait(true);
    MMControl1.command("Play");
    Timer3.setEnabled(false);
  });
}

void FrmMain::placeCorners() {
  picStop.setTop(top());
  picStop.setLeft(scaleWidth() - picStop.width());
  lblCopyright.setTop(scaleHeight() - lblCopyright.height());
}

// The desktop gave the window a size of its own: it fills that, the stop
// sign and the notice in their corners of it.
void FrmMain::Form_Resize() {
  toolkit::guarded(ws_, "Form_Resize: ", [&] {
    ws_.maximise(*this);
    if (picStop.visible()) placeCorners();
  });
}

void FrmMain::Form_KeyPress(std::int16_t& KeyAscii) {
  toolkit::guarded(ws_, "Form_KeyPress: ", [&] {
    if (KeyAscii < 1 || KeyAscii > 255) return;
    const std::string key = toolkit::upperCase(std::string(1, static_cast<char>(KeyAscii)));
    if (key == CurrentLetter && !Eating) {
      Eating = true;
      Yumble();
    }
  });
}

void FrmMain::Yumble() {
  toolkit::guarded(ws_, "Yumble: ", [&] {
    LettersEaten = plusOne(LettersEaten);
    MMControl1.setNotify(false);
    reopenSound("slurp2.wav");
    MMControl1.command("play");
    lblScore.setVisible(true);
    lblScore.setCaption("You have yumbled " + std::to_string(LettersEaten) + " letters!");
    Timer1.setEnabled(true);
  });
}

// The eating animation: f1 (first time only) to f7, then the next letter.
void FrmMain::Timer1_Timer() {
  toolkit::guarded(ws_, "Timer1_Timer: ", [&] {
    FrameNo = plusOne(FrameNo);
    if (FrameNo >= 1 && FrameNo <= 7) {
      if (FrameNo == 4) Label1.setCaption("");
      loadPicture(Picture1, "f" + std::to_string(FrameNo) + ".bmp");
    } else if (FrameNo == 8) {
      if (LettersEaten % 10 == 0) {
        MMControl1.setNotify(false);
        reopenSound("ribbit2.wav");
        MMControl1.command("Play");
        ws_.pumpOnce();
        {
          reward::FrmAllRight reward(services_);
          ws_.showModal(reward);
        }
        ws_.show(*this);
      }
      FrameNo = 1;
      SetCurrentLetter();
      Timer1.setEnabled(false);
      MMControl1.command("Close");
    }
  });
}

void FrmMain::SetCurrentLetter() {
  toolkit::guarded(ws_, "SetCurrentLetter: ", [&] {
    Eating = false;
    const std::string previous = CurrentLetter;
    // A real generator repeats a letter rarely; the bound only keeps a broken
    // one from hanging the game.
    for (int draws = 0; draws < 1000 && CurrentLetter == previous; ++draws) {
      const int n = static_cast<int>(std::floor(ws_.random() * 26));
      CurrentLetter = std::string(1, static_cast<char>('A' + std::clamp(n, 0, 25)));
    }
    if (CurrentLetter == previous)
      CurrentLetter = std::string(1, static_cast<char>('A' + (previous[0] - 'A' + 1) % 26));

    Label1.setFontName(CurrentLetter == "I" ? "Century Schoolbook" : "Century Gothic");
    Label1.setCaption(CurrentLetter);

    reopenSound(CurrentLetter + ".wav");
    MMControl1.setWait(true);
    MMControl1.command("play");
  });
}

}  // namespace game
