#pragma once

#include <string>

#include "app/toolkit/backend.h"

namespace app {

// All threads share one heap, and big blocks (pictures, sounds) go back to
// the system when freed, so a long game keeps the resident memory of its
// start. Called first thing, and again once the first screen is shown.
void keepMemoryLow();
// Until keepMemoryLow is called again, a big block freed is kept for the
// next: the first screen's picture files are read into the same memory.
void startQuickly();

// Plays one game on the given screen, with sound if a device opens and
// silently if not; returns the program's exit status.
int play(toolkit::Backend& backend, const std::string& programDir);

}  // namespace app
