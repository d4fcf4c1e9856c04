#include "media/sound_channel.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace media {
namespace {

bool sameWord(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

SoundChannel::SoundChannel(std::unique_ptr<AudioOutput> output, Observer observer)
    : output_(std::move(output)), observer_(std::move(observer)) {}

void SoundChannel::setDeviceType(std::string type) {
  deviceType_ = std::move(type);
  note(SoundNote::Kind::DeviceType, deviceType_);
}

void SoundChannel::setFileName(std::string path) {
  fileName_ = std::move(path);
  note(SoundNote::Kind::FileName, fileName_);
}

void SoundChannel::setNotify(bool on) {
  notify_ = on;
  note(SoundNote::Kind::Notify, {}, on);
}

void SoundChannel::setWait(bool on) {
  wait_ = on;
  note(SoundNote::Kind::Wait, {}, on);
}

void SoundChannel::setShareable(bool on) {
  shareable_ = on;
  note(SoundNote::Kind::Shareable, {}, on);
}

void SoundChannel::command(std::string_view name) {
  const bool wait = std::exchange(wait_, false);
  note(SoundNote::Kind::Command, name, wait);
  if (!output_) return;
  if (sameWord(name, "Open")) {
    const bool waveDevice = deviceType_.empty() || sameWord(deviceType_, "WaveAudio");
    if (!open_ && waveDevice) open_ = output_->open(fileName_);
  } else if (sameWord(name, "Play")) {
    if (open_ && output_->play() && wait) output_->waitUntilDone();
  } else if (sameWord(name, "Close")) {
    output_->close();
    open_ = false;
  }
}

}  // namespace media
