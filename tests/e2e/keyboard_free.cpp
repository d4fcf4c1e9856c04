// Whether another program could take the keyboard now, as a desktop's
// shortcut daemon or a launcher would: exits 0 if so, 1 if someone holds it.
#include <X11/Xlib.h>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  const int got = XGrabKeyboard(display, DefaultRootWindow(display), True, GrabModeAsync,
                                GrabModeAsync, CurrentTime);
  XCloseDisplay(display);  // lets go of it again
  return got == GrabSuccess ? 0 : 1;
}
