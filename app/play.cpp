#include "app/play.h"

#include <memory>

#include "app/services.h"
#include "app/window_system.h"
#include "game/frm_main.h"
#include "media/bitmap.h"
#include "media/mixer_audio.h"
#include "media/silent_audio.h"

namespace app {

int play(ui::Backend& backend, const std::string& programDir) {
  ui::WindowSystem windows(backend);
  // Sound is welcome but never required: without a device the game runs silent.
  std::unique_ptr<media::AudioSystem> audio = media::MixerAudio::open(windows);
  if (!audio) audio = std::make_unique<media::SilentAudio>(windows);
  media::FilePictureLoader pictures;
  Services services{windows, *audio, pictures, programDir};

  game::FrmMain frmMain(services);
  return windows.run(frmMain);
}

}  // namespace app
