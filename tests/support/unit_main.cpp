// The unit tests' own main: the sound card's tests start this program again
// as the game's sound host, as the game starts itself.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include "app/sdl/platform.h"
#endif

int main(int argc, char** argv) {
#ifdef YUMBLE_HAVE_SDL
  if (const auto host = sdl::runSoundHostIfAsked(argc, argv)) return *host;
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
