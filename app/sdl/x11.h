#pragma once

#include <SDL.h>

#include <functional>
#include <optional>
#include <utility>

struct SDL_SysWMmsg;

// The little this program asks of X11 itself, apart from SDL. Kept apart
// because X11's headers name things (Window, Font) as the program does.
namespace sdl::x11 {

// Whether the window is an X11 one, which the program shows itself.
bool isX11(SDL_Window* window);

// Whether something manages the desktop's windows: a Wayland compositor
// always does; on X11 a window manager that says so (_NET_SUPPORTING_WM_CHECK).
bool desktopManages(SDL_Window* window);

// Asks for the window to be shown, with X filling it with `background`
// wherever nothing is drawn, and returns at once: the request goes with the
// next ones the program sends. SDL waits until the window is on screen, and
// a window manager that keeps new windows hidden (while it shows the desktop)
// would hold the program in that wait for ever. The window counts as shown
// once SDL hears that it is. A window in SDL's full-screen state is mapped
// in the desktop's full-screen state, not placed first and enlarged later.
// False where the window is not an X11 one.
bool showWithoutWaiting(SDL_Window* window, Uint32 background);

// Asks the window manager to show the window, raise it and give it the
// focus, as a taskbar does; nothing where none runs or the window is not an
// X11 one.
void activate(SDL_Window* window);

// Takes the keyboard for the window again. SDL lets go of it whenever the
// pointer leaves a window that is not in its full-screen state (for the
// sake of one desktop's title bars), though the window keeps the focus: the
// reward or a box appearing under the pointer is enough. False where the
// window is not an X11 one or X refuses.
bool holdKeyboard(SDL_Window* window);

// What tells why the window's Wayland connection broke (the compositor
// ended), as an errno value; 0 while it holds or where the window is not a
// Wayland one. (A broken X connection ends the program in Xlib itself.) It
// calls no SDL, so any thread may ask it.
std::function<int()> waylandBroken(SDL_Window* window);

// Asks a Wayland compositor to show the window, shown but with no pixels
// yet, full screen on the output it chooses: the one it would show a new
// window on (the focused one on sway), where the pointer cannot be read.
// (SDL would name its first output.) False where the window is not a
// Wayland one or the request could not be made.
bool fullScreenWhereShown(SDL_Window* window);

// X's id of the window, 0 where it is not an X11 one.
unsigned long windowId(SDL_Window* window);

// Where X lost a window's pixels (another window above it went away), when
// the message is X's word of it: the window's X id, the area in its pixels,
// and the number of the last request of ours X had taken when it lost them
// (see nextRequest). X says it in parts, one message each.
struct Lost {
  unsigned long window = 0;
  SDL_Rect area{0, 0, 0, 0};
  unsigned long after = 0;
};
std::optional<Lost> lostArea(const SDL_SysWMmsg& msg);

// The number X will give the next request the window's display connection
// sends (they count up); 0 where it is not an X11 one.
unsigned long nextRequest(SDL_Window* window);

}  // namespace sdl::x11
