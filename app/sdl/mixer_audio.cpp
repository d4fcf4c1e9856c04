#include "app/sdl/mixer_audio.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/base/bell.h"
#include "media/wav.h"

namespace sdl {
namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
// Measured with two busy loops on two cores (bench/sound_latency.sh): fewer
// frames than this cut slurps short, more add to the delay after a key.
constexpr Uint16 kBufferFrames = 1024;
constexpr std::size_t kMaxVoices = 64;
constexpr std::uint64_t kMaxSoundBytes = 64u << 20;
// A step of the sound server's that takes longer than this is given up on:
// the game goes on silent until the server answers again.
constexpr auto kAnswerBound = std::chrono::milliseconds(1000);
// How long shutdown waits for the card to be let go before leaving it be.
constexpr auto kShutdownBound = std::chrono::milliseconds(250);

using Steady = std::chrono::steady_clock;

std::atomic<bool> cardAbandoned{false};

// A sound at kFrequency; a mono one stays mono until it is mixed, at half
// the memory.
struct Samples {
  int channels = kChannels;
  std::vector<Sint16> data;  // interleaved when stereo
  std::size_t frames() const { return data.size() / static_cast<std::size_t>(channels); }
};

// A wave file in the card's format: exactly the samples the header check
// read, converted here once so that the card's thread only adds them up.
// Nothing if the file is not a plausible wave, or memory runs short.
std::unique_ptr<Samples> loadWave(const std::string& path) noexcept try {
  // Read here, never by SDL, so that a named pipe or a device cannot hold
  // the game and the file cannot be read two ways.
  const auto wave = media::loadWaveFile(path);
  if (!wave) return nullptr;
  const int channels = wave->info.channels;
  std::vector<Sint16> pcm = media::samples16(wave->info, wave->bytes);
  auto out = std::make_unique<Samples>();
  out->channels = channels;
  if (wave->info.sampleRate == kFrequency) {
    out->data = std::move(pcm);
    return out;
  }
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, static_cast<Uint8>(channels), wave->info.sampleRate,
                        AUDIO_S16SYS, static_cast<Uint8>(channels), kFrequency) < 0)
    return nullptr;
  const std::uint64_t bytes = pcm.size() * sizeof(Sint16);
  // A header that claims a very low rate would ask for hours of sound.
  const auto needed = bytes * static_cast<std::uint64_t>(std::max(1, cvt.len_mult));
  if (needed > kMaxSoundBytes) return nullptr;
  pcm.resize(needed / sizeof(Sint16) + 1);
  cvt.buf = reinterpret_cast<Uint8*>(pcm.data());
  cvt.len = static_cast<int>(bytes);
  if (SDL_ConvertAudio(&cvt) != 0) return nullptr;
  const auto perFrame = static_cast<std::size_t>(channels);
  pcm.resize(static_cast<std::size_t>(cvt.len_cvt) / sizeof(Sint16) / perFrame * perFrame);
  out->data = std::move(pcm);
  return out;
} catch (const std::exception&) {
  return nullptr;
}

}  // namespace

void mixSound(std::int16_t* stereo, const std::int16_t* sound, int channels, std::size_t frames) {
  for (std::size_t i = 0; i < frames * kChannels; ++i) {
    const int sample = sound[channels == 1 ? i / kChannels : i];
    stereo[i] = static_cast<std::int16_t>(std::clamp(stereo[i] + sample, -32768, 32767));
  }
}

// The card and the voices mixed into it, shared by the system, its outputs
// and the card's thread, so that it lives as long as any of them.
//
// Every SDL audio call that can wait on the sound server (starting SDL's
// audio, opening and closing the card, ending SDL's audio) is made on the
// card's own thread, and only there, so SDL's audio state is only ever
// touched by one thread; the game's thread sets the driver hints while that
// thread is idle, and never waits on it for longer than a bound. SDL's audio
// thread calls mix(), which takes the voices' lock that the game's thread
// holds only to set or clear a voice.
struct MixerDevice {
  explicit MixerDevice(std::chrono::milliseconds idle) : idleRelease(idle) {}

  // A voice of its own for an output, whose bell rings when its sound ends.
  int takeVoice(base::Bell& ended) {
    std::lock_guard<std::mutex> hold(voicesLock);
    for (std::size_t i = 0; i < kMaxVoices; ++i) {
      if (voices[i].ended) continue;
      voices[i] = Voice{nullptr, 0, &ended};
      return static_cast<int>(i);
    }
    return -1;
  }

  void giveBack(int voice) {
    std::lock_guard<std::mutex> hold(voicesLock);
    voices[index(voice)] = Voice{};
  }

  // The voice starts at once; the card's thread takes the card if it is not
  // held, so that the key which asked for the sound is not held up.
  void play(int voice, const Samples& sound) {
    chooseDriver();
    {
      std::lock_guard<std::mutex> hold(voicesLock);
      Voice& v = voices[index(voice)];
      v.sound = &sound;
      v.at = 0;
    }
    std::unique_lock<std::mutex> hold(mutex);
    lastBusy = Steady::now();
    // Whether the card is still there is asked at each sound, so that one
    // lost with its server is taken again for the next.
    wanted = true;
    changed.notify_all();
    tellOnce(hold);
  }

  // Stops the voice at once; its bell rings if it was playing.
  void halt(int voice) {
    std::lock_guard<std::mutex> hold(voicesLock);
    voices[index(voice)].stop();
  }

  // Whether sounds are heard, or at least paced by a card that answers; when
  // not, a wait for a sound lasts as long as the sound and no more.
  bool answering() {
    std::unique_lock<std::mutex> hold(mutex);
    return !failed && !stuck(hold) && !mixStalled(hold);
  }

  bool holdsCard() {
    std::lock_guard<std::mutex> hold(mutex);
    return card != 0;
  }

  static std::int64_t lengthMs(const Samples& sound) {
    return static_cast<std::int64_t>(sound.frames()) * 1000 / kFrequency;
  }

  // Made at the first sound; a thread that cannot be made leaves the game
  // silent. The thread holds the device too: should it be left waiting on
  // the server at shutdown, what it touches stays.
  void startThread() {
    try {
      // SDL keeps per-thread state (its error text) for any thread that
      // calls it; only its own threads free that by themselves.
      std::thread([this, keep = weakSelf.lock()] {
        watch();
        SDL_TLSCleanup();
      }).detach();
      threadStarted = true;
    } catch (const std::system_error& e) {
      std::cerr << "yumble: no sound: cannot start the sound card's thread: " << e.what() << "\n";
      failed = driverFailed = usingDummy = true;
    }
  }

  // Lets the card go and ends SDL's audio, waiting for it at most
  // kShutdownBound: a card stuck on a server that does not answer is left be,
  // and the program must then end without SDL's own clean-up, which would
  // wait on it for ever.
  void end() {
    std::unique_lock<std::mutex> hold(mutex);
    if (!threadStarted) return;
    ending = true;
    changed.notify_all();
    if (changed.wait_for(hold, kShutdownBound, [this] { return finished; })) return;
    cardAbandoned = true;
    if (!toldStuck)
      std::cerr << "yumble: the sound server does not answer; the game ends without it\n";
  }

  std::weak_ptr<MixerDevice> weakSelf;

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

  // On the game's thread, before a sound: the driver the environment names
  // (SDL's own order otherwise) or, once that has failed to start, SDL's
  // silent one, which still paces sounds in real time.
  void chooseDriver() {
    std::unique_lock<std::mutex> hold(mutex);
    if (!threadTried) {
      threadTried = true;
      SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Yumble");
      SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Yumble");
      SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "game");
      startThread();
      return;
    }
    if (driverFailed && !usingDummy && !busy) {
      // The card's thread is idle and waits for this choice: no SDL call of
      // its own can read the hint meanwhile.
      tellOnce(hold);
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
      usingDummy = true;
      driverFailed = failed = false;
    }
  }

  // Says once on standard error why sounds are not heard, with SDL's reason.
  void tellOnce(std::unique_lock<std::mutex>& hold) {
    if (!failure.empty() && !toldFailure) {
      std::cerr << "yumble: no sound, playing silently: " << failure << "\n";
      toldFailure = true;
    }
    if (!toldStuck && (stuck(hold) || mixStalled(hold))) {
      std::cerr << "yumble: the sound server does not answer; sounds are silent until it does\n";
      toldStuck = true;
    }
  }

  // With the lock held: the card's thread has been in one SDL call too long.
  bool stuck(std::unique_lock<std::mutex>&) const {
    return busy && Steady::now() - busySince > kAnswerBound;
  }
  // With the lock held: the card is held but SDL has stopped asking for sound.
  bool mixStalled(std::unique_lock<std::mutex>&) const {
    if (!card) return false;
    const Steady::time_point mixed{Steady::duration(lastMix.load())};
    return Steady::now() - std::max(mixed, cardSince) > kAnswerBound;
  }

  static void SDLCALL mixInto(void* self, Uint8* stream, int length) {
    static_cast<MixerDevice*>(self)->mix(reinterpret_cast<Sint16*>(stream),
                                         static_cast<std::size_t>(length) / sizeof(Sint16));
  }

  // SDL's audio thread: ready samples added up, nothing else.
  void mix(Sint16* out, std::size_t count) {
    const auto now = Steady::now().time_since_epoch().count();
    lastMix = now;
    std::fill_n(out, count, Sint16{0});
    std::lock_guard<std::mutex> hold(voicesLock);
    for (Voice& v : voices) {
      if (!v.sound) continue;
      const auto perFrame = static_cast<std::size_t>(v.sound->channels);
      const std::size_t n = std::min(count / kChannels, v.sound->frames() - v.at);
      mixSound(out, v.sound->data.data() + v.at * perFrame, v.sound->channels, n);
      v.at += n;
      if (v.at >= v.sound->frames()) {
        lastEnded = now;
        v.stop();
      }
    }
  }

  bool anyPlaying() {
    std::lock_guard<std::mutex> hold(voicesLock);
    return std::any_of(voices.begin(), voices.end(), [](const Voice& v) { return v.sound; });
  }

  // With the lock held: runs one SDL call without it, marked busy meanwhile
  // so that the game's thread can tell a server that does not answer.
  template <typename F>
  auto outside(std::unique_lock<std::mutex>& hold, F f) {
    busy = true;
    busySince = Steady::now();
    hold.unlock();
    auto result = f();
    hold.lock();
    busy = false;
    return result;
  }

  // The card's thread, with the lock held.
  void takeCard(std::unique_lock<std::mutex>& hold) {
    wanted = false;
    if (!audioStarted) {
      audioStarted = outside(hold, [] { return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; });
      if (!audioStarted) return giveUp(hold);
    }
    SDL_AudioSpec want{};
    want.freq = kFrequency;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kBufferFrames;
    want.callback = mixInto;
    want.userdata = this;
    // Exactly this format: SDL converts if the card wants another.
    const SDL_AudioDeviceID opened =
        outside(hold, [&] { return SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0); });
    if (!opened) return giveUp(hold);
    card = opened;
    cardSince = lastBusy = Steady::now();
    failed = false;
    worked = true;
    hold.unlock();
    SDL_PauseAudioDevice(opened, 0);
    hold.lock();
  }

  // The card's thread: SDL's audio did not start or the card did not open.
  // Where it never worked, the game's thread chooses the silent driver at the
  // next sound; where it did, the server may come back, and the next sound
  // tries again.
  void giveUp(std::unique_lock<std::mutex>& hold) {
    failure = SDL_GetError();
    failed = true;
    if (!worked && !usingDummy) driverFailed = true;
    if (audioStarted) {
      outside(hold, [] { return (SDL_QuitSubSystem(SDL_INIT_AUDIO), 0); });
      audioStarted = false;
    }
  }

  // The card's thread, with the lock held: SDL's audio wholly ended, so that
  // a server that was lost is connected to afresh.
  void dropCard(std::unique_lock<std::mutex>& hold, bool endAudio) {
    if (card) outside(hold, [c = card] { return (SDL_CloseAudioDevice(c), 0); });
    card = 0;
    if (endAudio && audioStarted) {
      outside(hold, [] { return (SDL_QuitSubSystem(SDL_INIT_AUDIO), 0); });
      audioStarted = false;
    }
  }

  // Takes the card when a sound wants it, or again when SDL says it was
  // lost; sleeps while it is let go; while it is held, wakes once nothing
  // has played for idleRelease, to let it go.
  void watch() {
    std::unique_lock<std::mutex> hold(mutex);
    while (!ending) {
      if (wanted && card) {
        wanted = false;
        const bool lost = mixStalled(hold) || SDL_GetAudioDeviceStatus(card) == SDL_AUDIO_STOPPED;
        if (lost) dropCard(hold, true);
        if (lost) wanted = true;
        continue;
      }
      if (wanted && !driverFailed) {
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
        dropCard(hold, false);
      }
    }
    dropCard(hold, true);
    finished = true;
    changed.notify_all();
  }

  const std::chrono::milliseconds idleRelease;
  std::mutex voicesLock;  // the voices: mix() and the game's thread
  std::array<Voice, kMaxVoices> voices{};
  std::atomic<Steady::rep> lastEnded{0};
  std::atomic<Steady::rep> lastMix{0};

  std::mutex mutex;  // all below, between the game's thread and the card's
  std::condition_variable changed;
  SDL_AudioDeviceID card = 0;
  Steady::time_point cardSince;
  bool threadTried = false, threadStarted = false;
  bool audioStarted = false;  // SDL's audio, by the card's thread
  bool wanted = false;        // a sound was asked for
  bool worked = false;        // a card opened once in this run
  bool failed = false;        // the last try to take the card failed
  bool driverFailed = false;  // the driver chosen never worked: the game's thread chooses
  bool usingDummy = false;
  bool busy = false;  // the card's thread is in SDL
  Steady::time_point busySince;
  std::string failure;  // SDL's reason, for the game's thread to say
  bool toldFailure = false, toldStuck = false;
  bool ending = false, finished = false;
  Steady::time_point lastBusy = Steady::now();
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
    device_->play(voice_, *sound_);
    playing_ = true;
    startedAt_ = clock_.nowMs();
    return true;
  }

  void waitUntilDone() override {
    if (!sound_ || !playing_) return;
    // However the card behaves, a sound never holds the game for longer
    // than it lasts and a second; with no card that answers, for as long as
    // it lasts.
    const std::int64_t grace = device_->answering() ? 1000 : 0;
    const std::int64_t left = startedAt_ + MixerDevice::lengthMs(*sound_) + grace - clock_.nowMs();
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
};

}  // namespace

MixerAudio::MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device)
    : clock_(clock), device_(std::move(device)) {}

MixerAudio::~MixerAudio() {
  device_->end();
}

std::unique_ptr<MixerAudio> MixerAudio::open(base::Clock& clock,
                                             std::chrono::milliseconds idleRelease) {
  auto device = std::make_shared<MixerDevice>(idleRelease);
  device->weakSelf = device;
  return std::unique_ptr<MixerAudio>(new MixerAudio(clock, std::move(device)));
}

std::unique_ptr<media::AudioOutput> MixerAudio::newOutput() {
  return std::make_unique<MixerOutput>(clock_, device_);
}

bool MixerAudio::holdsCard() const {
  return device_->holdsCard();
}

bool MixerAudio::cardLeftWaiting() {
  return cardAbandoned;
}

}  // namespace sdl
