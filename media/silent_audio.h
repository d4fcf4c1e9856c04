#pragma once

#include <cstdint>

#include "media/audio.h"
#include "media/clock.h"

namespace media {

// Plays nothing, but keeps time: a waiting play lasts as long as the sound
// would. Used when no sound device can be opened, and by the tests.
class SilentAudio : public AudioSystem {
 public:
  explicit SilentAudio(Clock& clock) : clock_(clock) {}
  std::unique_ptr<AudioOutput> newOutput() override;

 private:
  Clock& clock_;
};

}  // namespace media
