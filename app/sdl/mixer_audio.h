#pragma once

#include <chrono>
#include <memory>

#include "app/base/clock.h"
#include "media/audio.h"

namespace sdl {

struct MixerDevice;

// The sound card through SDL_mixer: one mixer channel per output, so several
// windows can sound at once. Where no card opens, SDL's dummy driver keeps
// real-time pacing without a sound. The card is let go once nothing has
// played for idleRelease, so that a game waiting for a key costs neither this
// program nor the sound server anything; the next sound takes it back.
class MixerAudio : public media::AudioSystem {
 public:
  // Nothing if no device at all can be opened.
  static std::unique_ptr<media::AudioSystem> open(
      base::Clock& clock, std::chrono::milliseconds idleRelease = std::chrono::seconds(1));
  ~MixerAudio() override;

  std::unique_ptr<media::AudioOutput> newOutput() override;

 private:
  MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device);

  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace sdl
