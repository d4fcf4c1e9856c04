#include <iostream>
#include <memory>

#include "app/sdl_backend.h"
#include "app/services.h"
#include "app/window_system.h"
#include "game/frm_main.h"
#include "media/asset_path.h"
#include "media/bitmap.h"
#include "media/mixer_audio.h"
#include "media/silent_audio.h"

int main() {
  const std::string dir = media::programDirectory();
  std::string why;
  auto backend = ui::SdlBackend::create(dir, why);
  if (!backend) {
    std::cerr << "yumble: cannot open a window: " << why << "\n";
    return 1;
  }
  ui::WindowSystem windows(*backend);
  // Sound is welcome but never required: without a device the game runs silent.
  std::unique_ptr<media::AudioSystem> audio = media::MixerAudio::open(windows);
  if (!audio) audio = std::make_unique<media::SilentAudio>(windows);
  media::FilePictureLoader pictures;
  app::Services services{windows, *audio, pictures, dir};

  game::FrmMain frmMain(services);
  return windows.run(frmMain);
}
