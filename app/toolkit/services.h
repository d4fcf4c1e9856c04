#pragma once

#include <string>

#include "app/toolkit/window_system.h"
#include "media/audio.h"
#include "media/bitmap.h"
#include "media/sound_channel.h"

namespace toolkit {

// What a window needs from the platform besides the window system itself.
struct Services {
  toolkit::WindowSystem& windows;
  media::AudioSystem& audio;
  media::PictureLoader& pictures;
  std::string programDir;
  // Hears every property and command written to a sound channel (tests only).
  media::SoundChannel::Observer soundObserver = {};
};

}  // namespace toolkit
