#pragma once

#include <string>

namespace app {

// The claim to be the one game of a user on a screen, held for as long as
// this object lives: a lock on a file in a folder only that user can use, so
// no other account can take or fake it, and the kernel lets go of it when the
// process ends, however it ends. Beside the lock the holder listens on a
// socket; a second start that finds the screen taken calls on it, which asks
// the running game to come to the front.
class SingleInstance {
 public:
  // For user `uid` on the screen named `screen` (see screenName), in `runtimeDir` (the
  // user's runtime folder) if it is theirs alone, else in a folder of their
  // own made under `spareBase`.
  SingleInstance(unsigned uid, const std::string& screen, const std::string& runtimeDir,
                 const std::string& spareBase = "/tmp");
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False only when a live game of this user holds the screen; it has been
  // called on. Should anything else fail (no safe folder, say) the game plays
  // rather than refusing to start.
  bool claimed() const { return claimed_; }
  // The listening socket a second start calls on; -1 if there is none.
  int calls() const { return calls_; }

 private:
  int lock_ = -1;
  int calls_ = -1;
  bool claimed_ = true;
};

// One name for one screen however the display is written: ":0", ":0.0" and
// "unix:0" are the same; a host or another screen number is not. A Wayland
// display is its socket: the name in `runtimeDir`, or the path it is.
std::string screenName(const std::string& display, bool wayland = false,
                       const std::string& runtimeDir = "");

// The claim for the calling user on the display named in the environment.
SingleInstance claimThisScreen();

}  // namespace app
