#include "app/error_report.h"

namespace app {

std::string errorTitle(int number) {
  return "ERROR: " + std::string(number >= 0 ? " " : "") + std::to_string(number);
}

std::string errorText(std::string_view label, const std::string& description) {
  return std::string(label) + "\n" + description;
}

void reportError(ui::WindowSystem& ws, std::string_view label, const media::Failure& failure) {
  ws.messageBox(errorTitle(failure.number()), errorText(label, failure.description()));
}

}  // namespace app
