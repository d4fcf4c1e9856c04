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
// One property or command as it was written to a channel, for whoever
// listens (the tests do); nothing is built for it when nobody does.
struct SoundNote {
  enum class Kind { DeviceType, FileName, Notify, Wait, Shareable, Command };
  Kind kind;
  std::string_view text = {};  // DeviceType, FileName, Command
  bool on = false;             // Notify, Wait, Shareable; Command: whether it waits
};

class SoundChannel {
 public:
  using Observer = std::function<void(const SoundNote&)>;

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
  void note(SoundNote::Kind kind, std::string_view text, bool on = false) const {
    if (observer_) observer_(SoundNote{kind, text, on});
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
