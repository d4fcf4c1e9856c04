#pragma once

#include <cstdint>

#include "app/base/clock.h"
#include "media/audio.h"

namespace media {

// Plays nothing, but keeps time: a waiting play lasts as long as the sound
// would. Used when no sound device can be opened, and by the tests.
class SilentAudio : public AudioSystem {
 public:
  explicit SilentAudio(base::Clock& clock) : clock_(clock) {}
  std::unique_ptr<AudioOutput> newOutput() override;

 private:
  base::Clock& clock_;
};

}  // namespace media
