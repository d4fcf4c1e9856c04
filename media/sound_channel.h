#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "media/audio.h"

namespace media {

// A window's sound channel, driven by properties and commands written one at a
// time. A command the device cannot carry out has no effect and is not
// reported: the game relies on that, for instance closing an unopened channel.
class SoundChannel {
 public:
  using Observer = std::function<void(const std::string&)>;

  explicit SoundChannel(std::unique_ptr<AudioOutput> output, Observer observer = {});

  void setDeviceType(std::string type);
  void setFileName(std::string path);
  void setNotify(bool on);
  // Applies to the next command only.
  void setWait(bool on);
  void setShareable(bool on);
  // "Open", "Play" or "Close", in any case.
  void command(std::string_view name);

  const std::string& deviceType() const { return deviceType_; }
  const std::string& fileName() const { return fileName_; }
  bool wait() const { return wait_; }
  bool shareable() const { return shareable_; }
  bool isOpen() const { return open_; }

 private:
  void note(const std::string& what) const {
    if (observer_) observer_(what);
  }

  std::unique_ptr<AudioOutput> output_;
  Observer observer_;
  std::string deviceType_;
  std::string fileName_;
  bool notify_ = false;
  bool wait_ = false;
  bool shareable_ = false;
  bool open_ = false;
};

}  // namespace media
