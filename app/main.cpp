#include <iostream>

#include "app/play.h"
#include "app/sdl/platform.h"
#include "media/asset_path.h"

int main() {
  app::keepMemoryLow();
  const std::string dir = media::programDirectory();
  std::string why;
  auto screen = sdl::openScreen(dir, why);
  if (!screen) {
    std::cerr << "yumble: cannot open a window: " << why << "\n";
    return 1;
  }
  return app::play(*screen, dir);
}
