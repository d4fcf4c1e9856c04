#include "app/sdl/mixer_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "app/base/bell.h"

namespace sdl {
namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr int kBytesPerFrame = 2 * kChannels;
constexpr int kBufferFrames = 1024;
constexpr int kMaxChannels = 64;

using Steady = std::chrono::steady_clock;

// What SDL_mixer's end-of-sound callback can reach: it knows only a channel
// number, and runs on the sound card's thread.
std::array<std::atomic<base::Bell*>, kMaxChannels> endBells{};
std::atomic<Steady::rep> lastEnded{0};

void SDLCALL channelEnded(int channel) {
  lastEnded = Steady::now().time_since_epoch().count();
  if (channel >= 0 && channel < kMaxChannels)
    if (base::Bell* bell = endBells[static_cast<std::size_t>(channel)].load()) bell->ring();
}

// Exactly this format, so the sounds loaded before the device was let go
// still fit it when it comes back.
bool openMixer() {
  return Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, kChannels, kBufferFrames, nullptr, 0) == 0;
}

bool startMixer() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (openMixer()) return true;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return false;
}

}  // namespace

// The device, shared by the system and its outputs so that it closes after
// the last of them. Its own thread lets the card go when it has been idle.
// Every SDL_mixer call goes through here under one lock, as the card may
// close or reopen at any moment.
struct MixerDevice {
  explicit MixerDevice(std::chrono::milliseconds idle)
      : idleRelease(idle), lastBusy(Steady::now()), watcher([this] { watch(); }) {
    Mix_ChannelFinished(channelEnded);
  }

  ~MixerDevice() {
    {
      std::lock_guard<std::mutex> hold(mutex);
      ending = true;
    }
    changed.notify_all();
    watcher.join();
    if (open) Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  int takeChannel(base::Bell& ended) {
    std::lock_guard<std::mutex> hold(mutex);
    int channel = -1;
    if (!freeChannels.empty()) {
      channel = freeChannels.back();
      freeChannels.pop_back();
    } else if (allocated < kMaxChannels &&
               (!open || Mix_AllocateChannels(allocated + 1) == allocated + 1)) {
      channel = allocated++;
    }
    if (channel >= 0) endBells[static_cast<std::size_t>(channel)] = &ended;
    return channel;
  }

  void giveBack(int channel) {
    std::lock_guard<std::mutex> hold(mutex);
    endBells[static_cast<std::size_t>(channel)] = nullptr;
    // Halting takes the mixer's own lock, so no callback still holds the bell.
    if (open) Mix_HaltChannel(channel);
    freeChannels.push_back(channel);
  }

  Mix_Chunk* load(const std::string& path) {
    std::lock_guard<std::mutex> hold(mutex);
    return acquire() ? Mix_LoadWAV(path.c_str()) : nullptr;
  }

  bool play(int channel, Mix_Chunk* chunk) {
    std::lock_guard<std::mutex> hold(mutex);
    return acquire() && Mix_PlayChannel(channel, chunk, 0) >= 0;
  }

  void halt(int channel) {
    std::lock_guard<std::mutex> hold(mutex);
    if (open) Mix_HaltChannel(channel);
  }

  void freeChunk(Mix_Chunk* chunk) {
    std::lock_guard<std::mutex> hold(mutex);
    Mix_FreeChunk(chunk);
  }

  static std::int64_t lengthMs(const Mix_Chunk& chunk) {
    return static_cast<std::int64_t>(chunk.alen) / kBytesPerFrame * 1000 / kFrequency;
  }

 private:
  // With the lock held: the card is open, and counted busy from now.
  bool acquire() {
    lastBusy = Steady::now();
    if (open) return true;
    if (!openMixer()) return false;
    Mix_AllocateChannels(allocated);
    open = true;
    changed.notify_all();
    return true;
  }

  // Sleeps while the card is let go; while it is open, wakes once nothing
  // has played for idleRelease, to close it.
  void watch() {
    std::unique_lock<std::mutex> hold(mutex);
    while (!ending) {
      if (!open) {
        changed.wait(hold);
        continue;
      }
      const Steady::time_point ended{Steady::duration(lastEnded.load())};
      const Steady::time_point due = std::max(lastBusy, ended) + idleRelease;
      if (Steady::now() < due) {
        changed.wait_until(hold, due);
      } else if (Mix_Playing(-1) > 0) {
        lastBusy = Steady::now();
      } else {
        Mix_CloseAudio();
        open = false;
      }
    }
  }

  const std::chrono::milliseconds idleRelease;
  std::mutex mutex;
  std::condition_variable changed;
  bool open = true;
  bool ending = false;
  Steady::time_point lastBusy;
  int allocated = 0;
  std::vector<int> freeChannels;
  std::thread watcher;
};

namespace {

class MixerOutput : public media::AudioOutput {
 public:
  MixerOutput(base::Clock& clock, std::shared_ptr<MixerDevice> device)
      : clock_(clock), device_(std::move(device)), channel_(device_->takeChannel(ended_)) {}

  ~MixerOutput() override {
    close();
    if (channel_ >= 0) device_->giveBack(channel_);
  }

  bool open(const std::string& path) override {
    close();
    if (channel_ < 0) return false;
    chunk_ = device_->load(path);
    return chunk_ != nullptr;
  }

  bool play() override {
    if (!chunk_) return false;
    ended_.reset();
    playing_ = device_->play(channel_, chunk_);
    startedAt_ = clock_.nowMs();
    return playing_;
  }

  void waitUntilDone() override {
    if (!chunk_ || !playing_) return;
    // However the device behaves, a sound never holds the game for longer
    // than it lasts and a second.
    const std::int64_t left = startedAt_ + MixerDevice::lengthMs(*chunk_) + 1000 - clock_.nowMs();
    if (left > 0) clock_.blockUntil(ended_, left);
  }

  void close() override {
    if (!chunk_) return;
    device_->halt(channel_);
    device_->freeChunk(chunk_);
    chunk_ = nullptr;
    playing_ = false;
  }

 private:
  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
  base::Bell ended_;
  int channel_;
  Mix_Chunk* chunk_ = nullptr;
  bool playing_ = false;
  std::int64_t startedAt_ = 0;
};

}  // namespace

MixerAudio::MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device)
    : clock_(clock), device_(std::move(device)) {}

MixerAudio::~MixerAudio() = default;

std::unique_ptr<media::AudioSystem> MixerAudio::open(base::Clock& clock,
                                                     std::chrono::milliseconds idleRelease) {
  if (!startMixer()) {
    // No sound card: the dummy driver still plays in real time, silently.
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    if (!startMixer()) return nullptr;
  }
  // Mix_OpenAudio starts with eight channels; outputs take theirs as they come.
  Mix_AllocateChannels(0);
  return std::unique_ptr<media::AudioSystem>(
      new MixerAudio(clock, std::make_shared<MixerDevice>(idleRelease)));
}

std::unique_ptr<media::AudioOutput> MixerAudio::newOutput() {
  return std::make_unique<MixerOutput>(clock_, device_);
}

}  // namespace sdl
