#include "app/sdl/mixer_audio.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "app/base/bell.h"
#include "media/wav.h"

namespace sdl {
namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr Uint16 kBufferFrames = 1024;
constexpr std::size_t kMaxVoices = 64;
constexpr std::uint64_t kMaxSoundBytes = 64u << 20;

using Steady = std::chrono::steady_clock;
// A sound at kFrequency; a mono one stays mono until it is mixed, at half
// the memory.
struct Samples {
  int channels = kChannels;
  std::vector<Sint16> data;  // interleaved when stereo
  std::size_t frames() const { return data.size() / static_cast<std::size_t>(channels); }
};

// A wave file in the card's format; nothing if SDL cannot read or convert it.
std::unique_ptr<Samples> loadWave(const std::string& path) {
  // Read here, not by SDL, so that a named pipe or a device cannot hold the
  // game, and a header SDL would trust has been checked first.
  const auto wave = media::loadWaveFile(path);
  if (!wave) return nullptr;
  SDL_AudioSpec spec;
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(wave->bytes.data(), static_cast<int>(wave->bytes.size())),
                      1, &spec, &data, &length))
    return nullptr;
  SDL_AudioCVT cvt;
  const int channels = spec.channels == 1 ? 1 : kChannels;
  const int built = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS,
                                      static_cast<Uint8>(channels), kFrequency);
  std::unique_ptr<Samples> out;
  // A header that claims a very low rate would ask for hours of sound.
  const auto needed = std::uint64_t{length} * static_cast<std::uint64_t>(std::max(1, cvt.len_mult));
  if (built >= 0 && needed <= kMaxSoundBytes) {
    std::vector<Uint8> work(static_cast<std::size_t>(length) *
                            static_cast<std::size_t>(std::max(1, cvt.len_mult)));
    std::copy(data, data + length, work.begin());
    cvt.buf = work.data();
    cvt.len = static_cast<int>(length);
    if (built == 0 || SDL_ConvertAudio(&cvt) == 0) {
      const std::size_t bytes = built == 0 ? length : static_cast<std::size_t>(cvt.len_cvt);
      const auto perFrame = static_cast<std::size_t>(channels);
      out = std::make_unique<Samples>();
      out->channels = channels;
      out->data.resize(bytes / sizeof(Sint16) / perFrame * perFrame);
      std::copy_n(work.data(), out->data.size() * sizeof(Sint16),
                  reinterpret_cast<Uint8*>(out->data.data()));
    }
  }
  SDL_FreeWAV(data);
  return out;
}

}  // namespace

void mixSound(std::int16_t* stereo, const std::int16_t* sound, int channels, std::size_t frames) {
  for (std::size_t i = 0; i < frames * kChannels; ++i) {
    const int sample = sound[channels == 1 ? i / kChannels : i];
    stereo[i] = static_cast<std::int16_t>(std::clamp(stereo[i] + sample, -32768, 32767));
  }
}

// The card and the voices mixed into it, shared by the system and its outputs
// so that it closes after the last of them. Voices and the card's state are
// touched under the device's own lock, and voices also under the card's lock,
// which SDL holds while it mixes. A watcher thread opens the card when a voice
// wants it and closes it once all has been quiet for a while.
struct MixerDevice {
  explicit MixerDevice(std::chrono::milliseconds idle)
      : idleRelease(idle), watcher([this] { watch(); }) {}

  ~MixerDevice() {
    {
      std::lock_guard<std::mutex> hold(mutex);
      ending = true;
    }
    changed.notify_all();
    watcher.join();
    if (card) SDL_CloseAudioDevice(card);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  // A voice of its own for an output, whose bell rings when its sound ends.
  int takeVoice(base::Bell& ended) {
    std::lock_guard<std::mutex> hold(mutex);
    for (std::size_t i = 0; i < kMaxVoices; ++i) {
      if (voices[i].ended) continue;
      withCard([&] { voices[i] = Voice{nullptr, 0, &ended}; });
      return static_cast<int>(i);
    }
    return -1;
  }

  void giveBack(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    withCard([&] { voices[index(voice)] = Voice{}; });
  }

  // The voice starts at once; a card let go is taken back by the watcher, so
  // that the key which asked for the sound is not held up while it opens.
  bool play(int voice, const Samples& sound) {
    std::lock_guard<std::mutex> hold(mutex);
    if (noCard) return false;
    withCard([&] {
      Voice& v = voices[index(voice)];
      v.sound = &sound;
      v.at = 0;
    });
    lastBusy = Steady::now();
    if (!card) {
      wanted = true;
      changed.notify_all();
    }
    return true;
  }

  // Stops the voice at once; its bell rings if it was playing.
  void halt(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    withCard([&] { voices[index(voice)].stop(); });
  }

  bool holdsCard() {
    std::lock_guard<std::mutex> hold(mutex);
    return card != 0;
  }

  static std::int64_t lengthMs(const Samples& sound) {
    return static_cast<std::int64_t>(sound.frames()) * 1000 / kFrequency;
  }

 private:
  struct Voice {
    const Samples* sound = nullptr;  // while playing
    std::size_t at = 0;              // the next frame
    base::Bell* ended = nullptr;     // while an output has the voice

    void stop() {
      if (!sound) return;
      sound = nullptr;
      if (ended) ended->ring();
    }
  };

  static std::size_t index(int voice) { return static_cast<std::size_t>(voice); }

  // Runs f with the voices to itself: the card's thread is not mixing.
  template <typename F>
  void withCard(F f) {
    if (card) SDL_LockAudioDevice(card);
    f();
    if (card) SDL_UnlockAudioDevice(card);
  }

  static void SDLCALL mixInto(void* self, Uint8* stream, int length) {
    static_cast<MixerDevice*>(self)->mix(reinterpret_cast<Sint16*>(stream),
                                         static_cast<std::size_t>(length) / sizeof(Sint16));
  }

  void mix(Sint16* out, std::size_t count) {
    std::fill_n(out, count, Sint16{0});
    for (Voice& v : voices) {
      if (!v.sound) continue;
      const auto perFrame = static_cast<std::size_t>(v.sound->channels);
      const std::size_t n = std::min(count / kChannels, v.sound->frames() - v.at);
      mixSound(out, v.sound->data.data() + v.at * perFrame, v.sound->channels, n);
      v.at += n;
      if (v.at >= v.sound->frames()) {
        lastEnded = Steady::now().time_since_epoch().count();
        v.stop();
      }
    }
  }

  // Without the lock, so that the game can go on meanwhile; nothing plays yet.
  SDL_AudioDeviceID openCard() {
    SDL_AudioSpec want{};
    want.freq = kFrequency;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kBufferFrames;
    want.callback = mixInto;
    want.userdata = this;
    // Exactly this format: SDL converts if the card wants another.
    SDL_AudioDeviceID opened = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!opened) {
      // No card after all: the dummy driver still paces the game, silently.
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        opened = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    }
    return opened;
  }

  // With the lock held: takes the card the voices wait for.
  void takeCard(std::unique_lock<std::mutex>& hold) {
    hold.unlock();
    const SDL_AudioDeviceID opened = openCard();
    hold.lock();
    wanted = false;
    card = opened;
    lastBusy = Steady::now();
    if (card) {
      SDL_PauseAudioDevice(card, 0);
    } else {
      // Not even the dummy driver: end every sound, so no one waits for it.
      noCard = true;
      for (Voice& v : voices) v.stop();
    }
  }

  bool anyPlaying() {
    bool playing = false;
    withCard([&] {
      playing = std::any_of(voices.begin(), voices.end(), [](const Voice& v) { return v.sound; });
    });
    return playing;
  }

  // Opens the card when a voice wants it and sleeps while it is let go;
  // while it is held, wakes once nothing has played for idleRelease, to
  // close it.
  void watch() {
    std::unique_lock<std::mutex> hold(mutex);
    while (!ending) {
      if (!card && wanted) {
        takeCard(hold);
        continue;
      }
      if (!card) {
        changed.wait(hold);
        continue;
      }
      const Steady::time_point ended{Steady::duration(lastEnded.load())};
      const Steady::time_point due = std::max(lastBusy, ended) + idleRelease;
      if (Steady::now() < due) {
        changed.wait_until(hold, due);
      } else if (anyPlaying()) {
        lastBusy = Steady::now();
      } else {
        SDL_CloseAudioDevice(card);
        card = 0;
      }
    }
  }

  const std::chrono::milliseconds idleRelease;
  std::array<Voice, kMaxVoices> voices{};
  std::atomic<Steady::rep> lastEnded{0};
  std::mutex mutex;
  std::condition_variable changed;
  SDL_AudioDeviceID card = 0;
  bool wanted = false;  // a voice waits for the card
  bool noCard = false;  // not even the dummy driver opened
  bool ending = false;
  Steady::time_point lastBusy = Steady::now();
  std::thread watcher;
};

namespace {

class MixerOutput : public media::AudioOutput {
 public:
  MixerOutput(base::Clock& clock, std::shared_ptr<MixerDevice> device)
      : clock_(clock), device_(std::move(device)), voice_(device_->takeVoice(ended_)) {}

  ~MixerOutput() override {
    close();
    if (voice_ >= 0) device_->giveBack(voice_);
  }

  bool open(const std::string& path) override {
    close();
    if (voice_ < 0) return false;
    sound_ = loadWave(path);
    return sound_ != nullptr;
  }

  bool play() override {
    if (!sound_) return false;
    device_->halt(voice_);
    ended_.reset();
    playing_ = device_->play(voice_, *sound_);
    startedAt_ = clock_.nowMs();
    return playing_;
  }

  void waitUntilDone() override {
    if (!sound_ || !playing_) return;
    // However the card behaves, a sound never holds the game for longer
    // than it lasts and a second.
    const std::int64_t left = startedAt_ + MixerDevice::lengthMs(*sound_) + 1000 - clock_.nowMs();
    if (left > 0) clock_.blockUntil(ended_, left);
  }

  void close() override {
    if (!sound_) return;
    device_->halt(voice_);
    sound_.reset();
    playing_ = false;
  }

 private:
  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
  base::Bell ended_;
  int voice_;
  std::unique_ptr<Samples> sound_;
  bool playing_ = false;
  std::int64_t startedAt_ = 0;
  std::int64_t lengthMs_ = 0;  // as the file says, checked against what it holds
};

// SDL's audio with the card named by the environment, or the dummy driver.
bool startAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) return true;
  // No sound card: the dummy driver still plays in real time, silently. It
  // must win over whatever driver the environment names, or a bad
  // SDL_AUDIODRIVER would leave the game with no device at all.
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

}  // namespace

MixerAudio::MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device)
    : clock_(clock), device_(std::move(device)) {}

MixerAudio::~MixerAudio() = default;

std::unique_ptr<MixerAudio> MixerAudio::open(base::Clock& clock,
                                             std::chrono::milliseconds idleRelease) {
  if (!startAudio()) return nullptr;
  return std::unique_ptr<MixerAudio>(
      new MixerAudio(clock, std::make_shared<MixerDevice>(idleRelease)));
}

std::unique_ptr<media::AudioOutput> MixerAudio::newOutput() {
  return std::make_unique<MixerOutput>(clock_, device_);
}

bool MixerAudio::holdsCard() const {
  return device_->holdsCard();
}

}  // namespace sdl
