#include "app/play.h"

#include <malloc.h>

#include <memory>

#include "app/sdl/platform.h"
#include "app/toolkit/services.h"
#include "app/toolkit/window_system.h"
#include "game/frm_main.h"
#include "media/bitmap.h"
#include "media/silent_audio.h"

namespace app {

void keepMemoryLow() {
  // By default the threshold for blocks of their own rises once one is
  // freed, and later pictures then stay in the heap after they are gone.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_ARENA_MAX, 1);
}

int play(toolkit::Backend& backend, const std::string& programDir) {
  toolkit::WindowSystem windows(backend);
  // Sound is welcome but never required: without a device the game runs silent.
  std::unique_ptr<media::AudioSystem> audio = sdl::openSound(windows);
  if (!audio) audio = std::make_unique<media::SilentAudio>(windows);
  media::FilePictureLoader pictures(backend.screen().scale);
  toolkit::Services services{windows, *audio, pictures, programDir};

  game::FrmMain frmMain(services);
  return windows.run(frmMain);
}

}  // namespace app
