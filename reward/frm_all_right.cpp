#include "reward/frm_all_right.h"

#include <array>
#include <cmath>

#include "app/toolkit/error_report.h"
#include "media/asset_path.h"
#include "media/builtin_art.h"

namespace reward {

toolkit::Rgb FrmAllRight::paletteColour(int n) {
  static constexpr std::array<toolkit::Rgb, 16> kPalette{{
      {0, 0, 0},
      {0, 0, 128},
      {0, 128, 0},
      {0, 128, 128},
      {128, 0, 0},
      {128, 0, 128},
      {128, 128, 0},
      {192, 192, 192},
      {128, 128, 128},
      {0, 0, 255},
      {0, 255, 0},
      {0, 255, 255},
      {255, 0, 0},
      {255, 0, 255},
      {255, 255, 0},
      {255, 255, 255},
  }};
  return kPalette[static_cast<std::size_t>(n) % kPalette.size()];
}

FrmAllRight::FrmAllRight(toolkit::Services& services)
    : toolkit::Window(services.windows, "frmAllRight", "Form1", 6300, 7305),
      Picture1(*this, "Picture1", nullptr, 120, 135, 6060, 7035),
      MMControl1(services.audio.newOutput(), services.soundObserver),
      Timer1(*this, "Timer1", 100, true),
      Timer2(*this, "Timer2", 3500, true),
      services_(services),
      ws_(services.windows) {
  setBackColor(toolkit::SystemColor::ButtonFace);
  setIcon(media::art::picture(media::art::smileyIcon()));
  // The game window covers the screen; this one must stay above it.
  setAlwaysOnTop(true);

  Picture1.setAutoSize(true);
  Picture1.setBorder(toolkit::Border::Sunken);
  Picture1.setBackColor({255, 255, 255});
  Picture1.setPicture(media::art::picture(media::art::kRewardPicture, services.pictures.scale()));

  Timer1.onTick = [this] { Timer1_Timer(); };
  Timer2.onTick = [this] { Timer2_Timer(); };
}

void FrmAllRight::Form_Load() {
  toolkit::guarded(ws_, "Form_Load: ", [&] {
    setLeft((ws_.screenWidth() - width()) / 2);
    setTop((ws_.screenHeight() - height()) / 2);
    Timer2.setEnabled(true);
  });
}

void FrmAllRight::Timer1_Timer() {
  toolkit::guarded(ws_, "Timer1_Timer: ", [&] {
    const int n = static_cast<int>(std::floor(ws_.random() * 15 + 1));
    setBackColor(paletteColour(n));
  });
}

void FrmAllRight::Timer2_Timer() {
  toolkit::guarded(ws_, "Timer2_Timer: ", [&] {
    Timer2.setEnabled(false);
    auto asset = [&](const char* name) { return media::assetPath(services_.programDir, name); };
    MMControl1.setNotify(false);
    MMControl1.setWait(true);
    MMControl1.setShareable(false);
    MMControl1.setDeviceType("WaveAudio");
    MMControl1.setFileName(asset("applp.wav"));
    MMControl1.command("Open");
    MMControl1.setWait(true);
    MMControl1.command("Play");
    MMControl1.command("close");
    MMControl1.setFileName(asset("goodjob.wav"));
    MMControl1.setWait(true);
    MMControl1.command("Open");
    MMControl1.setWait(true);
    MMControl1.command("Play");
    ws_.unload(*this);
  });
}

}  // namespace reward
