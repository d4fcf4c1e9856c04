#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/base/clock.h"
#include "app/toolkit/backend.h"
#include "media/audio.h"

// What start-up takes from the SDL platform, without SDL in sight.
namespace sdl {

// The real screen; nothing, with the reason in why, when no display can be
// reached. A connection to the listening socket `calls` (if not -1) brings
// the game to the front, with the keyboard.
std::unique_ptr<toolkit::Backend> openScreen(std::string& why, int calls = -1);

// The sound card, or SDL's silent dummy device where there is none; nothing
// only when no device at all opens.
std::unique_ptr<media::AudioSystem> openSound(base::Clock& clock);

// Where the program was started as its own sound host (by openSound's
// device, with a mark no user types), runs the host and gives its exit
// status; otherwise nothing, at once. The first call of every main() that
// plays sound, before anything else starts.
std::optional<int> runSoundHostIfAsked(int argc, char** argv);

// The program's status: 1 when play ended because the display's connection
// broke (the compositor ended), else the status play gave.
int statusAfterPlay(int status);

}  // namespace sdl
