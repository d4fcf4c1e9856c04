#pragma once

#include <string>

#include "app/toolkit/backend.h"

namespace app {

// Plays one game on the given screen, with sound if a device opens and
// silently if not; returns the program's exit status.
int play(toolkit::Backend& backend, const std::string& programDir);

}  // namespace app
