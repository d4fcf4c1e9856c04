#include "app/sdl/mixer_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "media/wav.h"

namespace sdl {

// The open device, shared by the system and its outputs so that it closes
// after the last of them.
struct MixerDevice {
  int frequency = 0;
  int bytesPerFrame = 0;
  int allocated = 0;
  std::vector<int> freeChannels;

  ~MixerDevice() {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  int takeChannel() {
    if (!freeChannels.empty()) {
      const int channel = freeChannels.back();
      freeChannels.pop_back();
      return channel;
    }
    if (Mix_AllocateChannels(allocated + 1) != allocated + 1) return -1;
    return allocated++;
  }

  void giveBack(int channel) {
    Mix_HaltChannel(channel);
    freeChannels.push_back(channel);
  }

  std::int64_t lengthMs(const Mix_Chunk& chunk) const {
    if (frequency <= 0 || bytesPerFrame <= 0) return 0;
    return static_cast<std::int64_t>(chunk.alen) / bytesPerFrame * 1000 / frequency;
  }
};

namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr int kBufferFrames = 1024;

bool openMixer() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, kChannels, kBufferFrames) == 0) return true;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return false;
}

class MixerOutput : public media::AudioOutput {
 public:
  MixerOutput(base::Clock& clock, std::shared_ptr<MixerDevice> device)
      : clock_(clock), device_(std::move(device)), channel_(device_->takeChannel()) {}

  ~MixerOutput() override {
    close();
    if (channel_ >= 0) device_->giveBack(channel_);
  }

  bool open(const std::string& path) override {
    close();
    if (channel_ < 0) return false;
    // Read here, not by the mixer, so that a named pipe or a device cannot hold
    // the game and a header the mixer would trust has been checked first.
    const auto wave = media::loadWaveFile(path);
    if (!wave) return false;
    chunk_ = Mix_LoadWAV_RW(
        SDL_RWFromConstMem(wave->bytes.data(), static_cast<int>(wave->bytes.size())), 1);
    lengthMs_ = wave->info.durationMs();
    return chunk_ != nullptr;
  }

  bool play() override {
    if (!chunk_ || Mix_PlayChannel(channel_, chunk_, 0) < 0) return false;
    startedAt_ = clock_.nowMs();
    return true;
  }

  void waitUntilDone() override {
    if (!chunk_) return;
    // However the device behaves, a sound never holds the game for longer
    // than it lasts and a second.
    const std::int64_t length = std::min(device_->lengthMs(*chunk_), lengthMs_);
    const std::int64_t deadline = startedAt_ + length + 1000;
    while (Mix_Playing(channel_) && clock_.nowMs() < deadline) clock_.block(5);
  }

  void close() override {
    if (!chunk_) return;
    Mix_HaltChannel(channel_);
    Mix_FreeChunk(chunk_);
    chunk_ = nullptr;
  }

 private:
  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
  int channel_;
  Mix_Chunk* chunk_ = nullptr;
  std::int64_t startedAt_ = 0;
  std::int64_t lengthMs_ = 0;  // as the file says, checked against what it holds
};

}  // namespace

MixerAudio::MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device)
    : clock_(clock), device_(std::move(device)) {}

MixerAudio::~MixerAudio() = default;

std::unique_ptr<media::AudioSystem> MixerAudio::open(base::Clock& clock) {
  if (!openMixer()) {
    // No sound card: the dummy driver still plays in real time, silently.
    // It must win over whatever driver the environment names, or a bad
    // SDL_AUDIODRIVER would leave the game with no device at all.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (!openMixer()) return nullptr;
  }
  auto device = std::make_shared<MixerDevice>();
  Uint16 format = 0;
  int channels = 0;
  if (Mix_QuerySpec(&device->frequency, &format, &channels) != 0) {
    device->bytesPerFrame = SDL_AUDIO_BITSIZE(format) / 8 * channels;
  }
  // Mix_OpenAudio starts with eight channels; outputs take theirs as they come.
  Mix_AllocateChannels(0);
  return std::unique_ptr<media::AudioSystem>(new MixerAudio(clock, std::move(device)));
}

std::unique_ptr<media::AudioOutput> MixerAudio::newOutput() {
  return std::make_unique<MixerOutput>(clock_, device_);
}

}  // namespace sdl
