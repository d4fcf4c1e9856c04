#pragma once

#include <new>
#include <string>
#include <string_view>

#include "app/window_system.h"
#include "media/failure.h"

namespace app {

// "ERROR: " and the number; a number that is not negative gets a leading space.
std::string errorTitle(int number);
// The handler's label ("Form_Load: "), a line feed, the description.
std::string errorText(std::string_view label, const std::string& description);
void reportError(ui::WindowSystem& ws, std::string_view label, const media::Failure& failure);

// Runs one handler's steps; a failure stops them, is reported in one message
// box, and the program goes on. Returns whether the steps all ran.
template <class Steps>
bool guarded(ui::WindowSystem& ws, std::string_view label, Steps&& steps) {
  try {
    steps();
    return true;
  } catch (const media::Failure& f) {
    reportError(ws, label, f);
  } catch (const std::bad_alloc&) {
    reportError(ws, label, media::Failure(media::kOutOfMemory, "Out of memory"));
  }
  return false;
}

}  // namespace app
