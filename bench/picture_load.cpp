// How long one eating frame takes to load at each screen size's scale:
//   build/bin/picture_load build/bin
#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>

#include "app/toolkit/screen_choice.h"
#include "media/bitmap.h"
#include "media/picture_scale.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: picture_load BIN_DIR\n";
    return 2;
  }
  const std::string frame = std::string(argv[1]) + "/f4.bmp";
  for (auto [w, h] : {std::pair{800, 600}, {1024, 768}, {1920, 1080}, {2560, 1440}, {3840, 2160}}) {
    const double scale = toolkit::scaleFor({0, 0, w, h});
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const auto picture = media::loadPictureFile(frame, scale);
      static_cast<void>(media::onScreen(*picture));  // fitting waits until it is shown
      best = std::min(
          best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
    }
    std::cout << w << "x" << h << " (scale " << scale << "): " << best << " ms\n";
  }
}
