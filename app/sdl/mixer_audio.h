#pragma once

#include <memory>

#include "app/base/clock.h"
#include "media/audio.h"

namespace sdl {

struct MixerDevice;

// The sound card through SDL_mixer: one mixer channel per output, so several
// windows can sound at once. Where no card opens, SDL's dummy driver keeps
// real-time pacing without a sound.
class MixerAudio : public media::AudioSystem {
 public:
  // Nothing if no device at all can be opened.
  static std::unique_ptr<media::AudioSystem> open(base::Clock& clock);
  ~MixerAudio() override;

  std::unique_ptr<media::AudioOutput> newOutput() override;

 private:
  MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device);

  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace sdl
