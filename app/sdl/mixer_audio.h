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
// nothing has played for idleRelease, so that a game left alone costs neither
// this program nor the sound server anything. Ten seconds, by measurement: a
// child's letters, every few seconds, and the reward's pause all reuse one
// stream, as a plain player's do, rather than start one for each letter;
// the sound server spends no more per letter for it (bench/sound_latency.sh,
// bench/play_cpu.sh).
// Nothing here waits on the host: one that does not answer within a second
// is killed, the game goes on silent (its waits last their sounds' length),
// and the next sound starts another. The first host may be started ahead,
// by startSoundHost (platform.h).
inline constexpr std::chrono::milliseconds kCardHold{10000};

class MixerAudio : public media::AudioSystem {
 public:
  static std::unique_ptr<MixerAudio> open(base::Clock& clock,
                                          std::chrono::milliseconds idleRelease = kCardHold);
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
