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
// A second, by measurement: an open stream costs the sound server about as
// much each second as opening one does, so holding it longer between a
// child's letters only costs more (bench/sound_latency.sh, RECORD=0). Where no card opens, SDL's
// dummy driver keeps real-time pacing, silently. Nothing here waits on the sound server: a server
// that does not answer leaves the game silent.
class MixerAudio : public media::AudioSystem {
 public:
  static std::unique_ptr<MixerAudio> open(
      base::Clock& clock, std::chrono::milliseconds idleRelease = std::chrono::seconds(1));
  ~MixerAudio() override;

  std::unique_ptr<media::AudioOutput> newOutput() override;
  // Whether the card is held now.
  bool holdsCard() const;
  // Whether a card was left waiting on its server when the audio ended: the
  // program must then end without SDL's clean-up, which would wait for it.
  static bool cardLeftWaiting();

 private:
  MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device);

  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace sdl
