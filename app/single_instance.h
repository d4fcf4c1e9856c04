#pragma once

#include <string>

namespace app {

// The claim to be the one game on a screen, held for as long as this object
// lives. It is the name of an abstract Unix socket: the kernel drops the name
// when the process ends, however it ends, so nothing is left behind.
class SingleInstance {
 public:
  explicit SingleInstance(const std::string& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False only when another live process holds the name. Should the socket
  // fail for any other reason, the game plays rather than refusing to start.
  bool claimed() const { return claimed_; }

 private:
  int fd_ = -1;
  bool claimed_ = true;
};

// The claim's name for a user on a display (DISPLAY, or WAYLAND_DISPLAY
// where there is no X display).
std::string instanceName(unsigned uid, const std::string& display);

// The claim for the calling user on the display named in the environment.
SingleInstance claimThisScreen();

}  // namespace app
