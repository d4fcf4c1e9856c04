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

// The sound card, held by a sound host: a process of the game's own (this
// program started again with host::kMark) that makes every SDL audio call on
// its main thread, so that the game itself makes none and a sound server that
// does not answer can hold only the host. Each output is a voice of the
// host's small mixer, so several windows can sound at once. Sounds are read
// and checked here, and handed over as ready samples in a memory file; the
// host is started at the first sound, takes the card then and lets it go once
// nothing has played for idleRelease, so that a game waiting for a key costs
// neither this program nor the sound server anything. A second, by
// measurement: an open stream costs the sound server about as much each
// second as opening one does, so holding it longer between a child's letters
// only costs more (bench/sound_latency.sh, RECORD=0). Nothing here waits on
// the host: one that does not answer within a second is killed, the game goes
// on silent (its waits last their sounds' length), and the next sound starts
// another.
class MixerAudio : public media::AudioSystem {
 public:
  static std::unique_ptr<MixerAudio> open(
      base::Clock& clock, std::chrono::milliseconds idleRelease = std::chrono::seconds(1));
  ~MixerAudio() override;

  std::unique_ptr<media::AudioOutput> newOutput() override;
  // Whether the host said it holds the card.
  bool holdsCard() const;

 private:
  MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device);

  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
};

}  // namespace sdl
