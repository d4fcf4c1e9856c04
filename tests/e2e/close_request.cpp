// Asks a window to close the way a desktop's own tools do, with a
// WM_DELETE_WINDOW message, for the end-to-end tests where no window manager
// runs to send one:  close_request WINDOW_ID
#include <X11/Xlib.h>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: close_request WINDOW_ID\n";
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::cerr << "close_request: no display\n";
    return 1;
  }
  const auto window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &e);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
