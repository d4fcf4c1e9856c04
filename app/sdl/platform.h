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

// Starts the sound host now, as a copy of this program made while it is
// still one thread, rather than the program started again at the first
// sound: the copy shares the pages of the libraries already loaded (over a
// megabyte of them relocated) until one of the two writes them. Only that
// first host is started so; one that ends is replaced by the program started
// again, as threads then run. Call it from main() before anything starts a
// thread; openSound's device plays to the host it started.
void startSoundHost();

// The program's status: 1 when play ended because the display's connection
// broke (the compositor ended), else the status play gave.
int statusAfterPlay(int status);

}  // namespace sdl
