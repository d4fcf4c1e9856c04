#include "app/sdl/platform.h"

#include "app/sdl/backend.h"
#include "app/sdl/mixer_audio.h"

namespace sdl {

std::unique_ptr<toolkit::Backend> openScreen(std::string& why, int calls) {
  return SdlBackend::create(why, {}, calls);
}

std::unique_ptr<media::AudioSystem> openSound(base::Clock& clock) {
  return MixerAudio::open(clock);
}

int statusAfterPlay(int status) {
  return lostDisplay() ? 1 : status;
}

}  // namespace sdl
