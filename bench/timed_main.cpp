// The game as it ships, with its screen wrapped so every key, paint and frame
// is timed into the file named by the first argument.
#include <cstdio>
#include <iostream>

#include "app/play.h"
#include "app/sdl/platform.h"
#include "bench/timed_backend.h"
#include "media/asset_path.h"

int main(int argc, char** argv) {
  if (const auto host = sdl::runSoundHostIfAsked(argc, argv)) return *host;
  app::keepMemoryLow();
  std::FILE* log = argc == 2 ? std::fopen(argv[1], "w") : nullptr;
  if (!log) {
    std::cerr << "usage: yumble_timed LOGFILE\n";
    return 2;
  }
  const std::string dir = media::programDirectory();
  std::string why;
  auto screen = sdl::openScreen(why);
  if (!screen) {
    std::cerr << "yumble_timed: cannot open a window: " << why << "\n";
    return 1;
  }
  bench::TimedBackend timed(*screen, log);
  const int status = app::play(timed, dir);
  std::fclose(log);
  return status;
}
