#pragma once

#include <string>

#include "app/toolkit/backend.h"

namespace app {

// Called first thing: big blocks (pictures, sounds) go back to the system
// when freed, and all threads share one heap, so a long game keeps the
// resident memory of its start.
void keepMemoryLow();

// Plays one game on the given screen, with sound if a device opens and
// silently if not; returns the program's exit status.
int play(toolkit::Backend& backend, const std::string& programDir);

}  // namespace app
