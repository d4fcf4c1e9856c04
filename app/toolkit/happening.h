#pragma once

namespace toolkit {

class Timer;
class Window;

// A step of the window system's, told to the backend as it happens so that a
// screen which keeps a record can note it. The real screen ignores them.
struct Happening {
  enum class Kind { Load, Show, Hide, Unload, Modal, ModalEnd, End, Pump, Enable, Disable, Tick };
  Kind kind;
  const Window* window = nullptr;  // all but Pump and End
  const Timer* timer = nullptr;    // Enable, Disable and Tick
};

}  // namespace toolkit
