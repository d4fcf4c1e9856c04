#pragma once

#include <new>
#include <string>
#include <string_view>

#include "app/base/failure.h"
#include "app/toolkit/window_system.h"

namespace toolkit {

// "ERROR: " and the number; a number that is not negative gets a leading space.
std::string errorTitle(int number);
// The handler's label ("Form_Load: "), a line feed, the description.
std::string errorText(std::string_view label, const std::string& description);
void reportError(toolkit::WindowSystem& ws, std::string_view label, const base::Failure& failure);

// Runs one handler's steps; a failure stops them, is reported in one message
// box, and the program goes on. Returns whether the steps all ran.
template <class Steps>
bool guarded(toolkit::WindowSystem& ws, std::string_view label, Steps&& steps) {
  try {
    steps();
    return true;
  } catch (const base::Failure& f) {
    reportError(ws, label, f);
  } catch (const std::bad_alloc&) {
    reportError(ws, label, base::Failure(base::kOutOfMemory, "Out of memory"));
  }
  return false;
}

}  // namespace toolkit
