#pragma once

#include <memory>

#include "media/audio.h"
#include "media/clock.h"

namespace media {

struct MixerDevice;

// The sound card through SDL_mixer: one mixer channel per output, so several
// windows can sound at once. Where no card opens, SDL's dummy driver keeps
// real-time pacing without a sound.
class MixerAudio : public AudioSystem {
 public:
  // Nothing if no device at all can be opened.
  static std::unique_ptr<AudioSystem> open(Clock& clock);
  ~MixerAudio() override;

  std::unique_ptr<AudioOutput> newOutput() override;

 private:
  MixerAudio(Clock& clock, std::shared_ptr<MixerDevice> device);

  Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace media
