#include "app/toolkit/screen_choice.h"

#include <algorithm>

namespace toolkit {

double scaleFor(const Rect& monitor) {
  const double across = static_cast<double>(monitor.width) / kDesignScreenWidth;
  const double down = static_cast<double>(monitor.height) / kDesignScreenHeight;
  return std::max(1.0, std::min(across, down));
}

Screen chooseScreen(const std::vector<Rect>& monitors, std::optional<Point> pointer, int primary) {
  if (monitors.empty()) return {{0, 0, kDesignScreenWidth, kDesignScreenHeight}, 1};
  auto chosen = monitors.begin();
  if (primary >= 0 && static_cast<std::size_t>(primary) < monitors.size()) chosen += primary;
  if (pointer) {
    const auto under = std::find_if(monitors.begin(), monitors.end(), [&](const Rect& m) {
      return m.contains(pointer->x, pointer->y);
    });
    if (under != monitors.end()) chosen = under;
  }
  return {*chosen, scaleFor(*chosen)};
}

}  // namespace toolkit
