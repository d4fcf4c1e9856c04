#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/base/clock.h"
#include "media/audio.h"

namespace sdl {

struct MixerDevice;

// Adds frames of a 16-bit sound, mono or stereo, into stereo samples: a mono
// sound reaches both channels, and loud sounds together clip, never wrap.
void mixSound(std::int16_t* stereo, const std::int16_t* sound, int channels, std::size_t frames);

// The sound card through SDL's own audio: each output is a voice of a small
// mixer, so several windows can sound at once. Sounds are read and converted
// to the card's format when opened; the card itself is taken at the first
// sound and let go once nothing has played for idleRelease, so that a game
// waiting for a key costs neither this program nor the sound server anything.
// Where no card opens, SDL's dummy driver keeps real-time pacing, silently.
class MixerAudio : public media::AudioSystem {
 public:
  // Nothing if SDL's audio cannot start at all.
  static std::unique_ptr<MixerAudio> open(
      base::Clock& clock, std::chrono::milliseconds idleRelease = std::chrono::seconds(1));
  ~MixerAudio() override;

  std::unique_ptr<media::AudioOutput> newOutput() override;
  // Whether the card is held now.
  bool holdsCard() const;

 private:
  MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device);

  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace sdl
