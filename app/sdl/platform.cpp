#include "app/sdl/platform.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "app/sdl/backend.h"
#include "app/sdl/mixer_audio.h"

namespace sdl {

std::unique_ptr<toolkit::Backend> openScreen(std::string& why, int calls) {
  return SdlBackend::create(why, {}, calls);
}

std::unique_ptr<media::AudioSystem> openSound(base::Clock& clock) {
  return MixerAudio::open(clock);
}

int endUnlessSoundHeld(int status) {
  if (!MixerAudio::cardLeftWaiting()) return status;
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace sdl
