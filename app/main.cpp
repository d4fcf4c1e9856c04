#include <iostream>

#include "app/play.h"
#include "app/sdl/platform.h"
#include "app/single_instance.h"
#include "media/asset_path.h"

int main() {
  const auto oneGame = app::claimThisScreen();
  if (!oneGame.claimed()) return 0;  // a game already runs on this screen: leave it be
  app::keepMemoryLow();
  const std::string dir = media::programDirectory();
  std::string why;
  auto screen = sdl::openScreen(why);
  if (!screen) {
    std::cerr << "yumble: cannot open a window: " << why << "\n";
    return 1;
  }
  return app::play(*screen, dir);
}
