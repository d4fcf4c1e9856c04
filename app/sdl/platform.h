#pragma once

#include <memory>
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

// Ends the program at once with status when the sound card was left waiting
// on a sound server that does not answer, as SDL's own clean-up would wait
// for it for ever; otherwise returns status.
int endUnlessSoundHeld(int status);

}  // namespace sdl
