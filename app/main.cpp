#include <cstdio>
#include <system_error>

#include "app/play.h"
#include "app/sdl/platform.h"
#include "app/single_instance.h"
#include "media/asset_path.h"

int main(int argc, char** argv) try {
  if (const auto host = sdl::runSoundHostIfAsked(argc, argv)) return *host;
  // One game per user and screen: a second start has called on the first,
  // which comes to the front, and leaves it be.
  const auto oneGame = app::claimThisScreen();
  if (!oneGame.claimed()) return 0;
  app::keepMemoryLow();
  sdl::startSoundHost();
  const std::string dir = media::dataDirectory(media::programDirectory(), YUMBLE_INSTALLED_DATA);
  std::string why;
  auto screen = sdl::openScreen(why, oneGame.calls());
  if (!screen) {
    std::fprintf(stderr, "yumble: cannot open a window: %s\n", why.c_str());
    return 1;
  }
  return sdl::statusAfterPlay(app::play(*screen, dir));
} catch (const std::system_error& e) {
  // A thread the game needs could not be made (a limit on processes).
  std::fprintf(stderr, "yumble: cannot start: %s\n", e.what());
  return 1;
}
