#include "media/silent_audio.h"

#include <optional>

#include "media/wav.h"

namespace media {
namespace {

class SilentOutput : public AudioOutput {
 public:
  explicit SilentOutput(base::Clock& clock) : clock_(clock) {}

  bool open(const std::string& path) override {
    auto info = readWavFile(path);
    durationMs_ = info ? std::optional(info->durationMs()) : std::nullopt;
    startedAt_.reset();
    return durationMs_.has_value();
  }
  bool play() override {
    if (!durationMs_) return false;
    startedAt_ = clock_.nowMs();
    return true;
  }
  void waitUntilDone() override {
    if (!durationMs_ || !startedAt_) return;
    const std::int64_t left = *startedAt_ + *durationMs_ - clock_.nowMs();
    if (left > 0) clock_.block(left);
  }
  void close() override {
    durationMs_.reset();
    startedAt_.reset();
  }

 private:
  base::Clock& clock_;
  std::optional<std::int64_t> durationMs_;
  std::optional<std::int64_t> startedAt_;
};

}  // namespace

std::unique_ptr<AudioOutput> SilentAudio::newOutput() {
  return std::make_unique<SilentOutput>(clock_);
}

}  // namespace media
