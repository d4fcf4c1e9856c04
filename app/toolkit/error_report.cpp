#include "app/toolkit/error_report.h"

namespace toolkit {

std::string errorTitle(int number) {
  return "ERROR: " + std::string(number >= 0 ? " " : "") + std::to_string(number);
}

std::string errorText(std::string_view label, const std::string& description) {
  return std::string(label) + "\n" + description;
}

void reportError(toolkit::WindowSystem& ws, std::string_view label, const base::Failure& failure) {
  ws.messageBox(errorTitle(failure.number()), errorText(label, failure.description()));
}

}  // namespace toolkit
