#pragma once

#include <cstdint>
#include <string>

#include "app/toolkit/window.h"

namespace toolkit {

// The error box every handler's failure shows: a title, the critical-stop
// icon, the text and one OK button. The program draws it itself, so it looks
// the same on every desktop, stays above the full-screen game, and ends at
// once when the program is asked to quit. Return, Space and Escape close it,
// as does a click on OK.
class MessageBox : public Window {
 public:
  MessageBox(WindowSystem& system, const std::string& title, const std::string& text);

  const std::string& text() const { return textLabel_.caption(); }
  // Puts the box in the middle of the given rectangle (twips).
  void centreOn(double left, double top, double width, double height);

  void Form_KeyPress(std::int16_t& KeyAscii) override;

 private:
  PictureBox frame_;
  PictureBox titleBar_;
  Label titleLabel_;
  PictureBox icon_;
  Label textLabel_;
  PictureBox okButton_;
  Label okLabel_;
};

// The red circle with the white cross, on the given background, 32 pixels square.
PictureRef criticalStopIcon(Rgb background);

}  // namespace toolkit
