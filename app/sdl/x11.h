#pragma once

#include <SDL.h>

// The little this program asks of X11 itself, apart from SDL. Kept apart
// because X11's headers name things (Window, Font) as the program does.
namespace sdl::x11 {

// Asks for the window to be shown and returns at once. SDL waits until the
// window is on screen, and a window manager that keeps new windows hidden
// (while it shows the desktop) would hold the program in that wait for ever.
// The window counts as shown once SDL hears that it is. False where the
// window is not an X11 one; then SDL must show it.
bool showWithoutWaiting(SDL_Window* window);

}  // namespace sdl::x11
