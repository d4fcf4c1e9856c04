#include <iostream>

#include "app/play.h"
#include "app/sdl_backend.h"
#include "media/asset_path.h"

int main() {
  const std::string dir = media::programDirectory();
  std::string why;
  auto screen = ui::SdlBackend::create(dir, why);
  if (!screen) {
    std::cerr << "yumble: cannot open a window: " << why << "\n";
    return 1;
  }
  return app::play(*screen, dir);
}
