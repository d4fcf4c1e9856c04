#include "app/toolkit/message_box.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/toolkit/window_system.h"

namespace toolkit {
namespace {

// The box's measures in pixels, after the classic dialog it stands in for.
constexpr int kEdge = 2;
constexpr int kTitleHeight = 18;
constexpr int kMargin = 12;
constexpr int kIcon = 32;
constexpr int kLineHeight = 14;
constexpr int kCharWidth = 7;  // generous for the 8-point sans, so no text is cut
constexpr int kButtonWidth = 75, kButtonHeight = 23;
constexpr int kMinWidth = 200;

constexpr Rgb kTitleBlue{0, 0, 128};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kStopRed{204, 0, 0};
constexpr Rgb kStopEdge{128, 0, 0};

int lines(const std::string& s) {
  return 1 + static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

int longestLine(const std::string& s) {
  std::size_t longest = 0, start = 0;
  for (std::size_t end; (end = s.find('\n', start)) != std::string::npos; start = end + 1)
    longest = std::max(longest, end - start);
  return static_cast<int>(std::max(longest, s.size() - start));
}

int textWidth(const std::string& s) {
  return longestLine(s) * kCharWidth;
}

int boxWidth(const std::string& title, const std::string& text) {
  const int forText = 2 * kEdge + kMargin + kIcon + kMargin + textWidth(text) + kMargin;
  const int forTitle = 2 * kEdge + 8 + textWidth(title) + 8;
  return std::max({kMinWidth, forText, forTitle});
}

int textHeight(const std::string& text) {
  return std::max(kIcon, lines(text) * kLineHeight);
}

int boxHeight(const std::string& text) {
  return 2 * kEdge + kTitleHeight + kMargin + textHeight(text) + kMargin + kButtonHeight + kMargin;
}

Font plain() {
  return Font{};
}

Font bold() {
  Font f;
  f.weight = 700;
  return f;
}

}  // namespace

MessageBox::MessageBox(WindowSystem& system, const std::string& title, const std::string& text)
    : Window(system, "MessageBox", title, toTwips(boxWidth(title, text)), toTwips(boxHeight(text))),
      frame_(*this, "frame", nullptr, 0, 0, width(), height()),
      titleBar_(*this, "titleBar", &frame_, 0, 0, width() - toTwips(2 * kEdge),
                toTwips(kTitleHeight)),
      titleLabel_(*this, "title", &titleBar_, toTwips(4), toTwips(2), titleBar_.width(),
                  toTwips(kTitleHeight - 2)),
      icon_(*this, "icon", &frame_, toTwips(kMargin), toTwips(kTitleHeight + kMargin),
            toTwips(kIcon), toTwips(kIcon)),
      textLabel_(
          *this, "text", &frame_, toTwips(kMargin + kIcon + kMargin),
          toTwips(kTitleHeight + kMargin + (textHeight(text) - lines(text) * kLineHeight) / 2),
          toTwips(textWidth(text) + kMargin), toTwips(lines(text) * kLineHeight)),
      okButton_(*this, "ok", &frame_, (width() - toTwips(2 * kEdge + kButtonWidth)) / 2,
                toTwips(kTitleHeight + kMargin + textHeight(text) + kMargin), toTwips(kButtonWidth),
                toTwips(kButtonHeight)),
      okLabel_(*this, "okCaption", &okButton_, 0, toTwips(3), toTwips(kButtonWidth - 2 * kEdge),
               toTwips(kButtonHeight - 6)) {
  setAlwaysOnTop(true);
  setTakesFocus(true);
  setKeyPreview(true);
  setBackColor(SystemColor::ButtonFace);

  frame_.setBorder(Border::Raised);
  titleBar_.setBackColor(kTitleBlue);
  titleLabel_.setCaption(title);
  titleLabel_.setFont(bold());
  titleLabel_.setForeColor(kWhite);
  icon_.setPicture(criticalStopIcon(SystemColor::ButtonFace));
  textLabel_.setCaption(text);
  textLabel_.setFont(plain());
  okButton_.setBorder(Border::Raised);
  okLabel_.setCaption("OK");
  okLabel_.setFont(plain());
  okLabel_.setAlignment(Align::Center);
  okButton_.onClick = [this] { this->system().unload(*this); };
}

void MessageBox::centreOn(double left, double top, double w, double h) {
  setBounds(left + (w - width()) / 2, top + (h - height()) / 2, width(), height());
}

void MessageBox::Form_KeyPress(std::int16_t& KeyAscii) {
  constexpr std::int16_t kReturn = 13, kEscape = 27, kSpace = 32;
  if (KeyAscii == kReturn || KeyAscii == kEscape || KeyAscii == kSpace) system().unload(*this);
}

PictureRef criticalStopIcon(Rgb background) {
  constexpr int kSize = 32, kSamples = 4;
  constexpr double kCentre = kSize / 2.0, kRadius = 15.0, kRim = 1.2, kArm = 6.5, kHalfStroke = 1.7;
  auto picture = std::make_shared<media::Picture>();
  picture->width = picture->height = kSize;
  picture->pixels.reserve(kSize * kSize);
  // Each pixel blends what its sub-samples see, so the edges are smooth.
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      double r = 0, g = 0, b = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double px = x + (sx + 0.5) / kSamples - kCentre;
          const double py = y + (sy + 0.5) / kSamples - kCentre;
          const double d = std::hypot(px, py);
          const bool onCross = std::max(std::abs(px), std::abs(py)) <= kArm &&
                               std::min(std::abs(px - py), std::abs(px + py)) <= kHalfStroke * 1.41;
          Rgb c = background;
          if (d <= kRadius) c = d > kRadius - kRim ? kStopEdge : onCross ? kWhite : kStopRed;
          r += c.r, g += c.g, b += c.b;
        }
      }
      constexpr double n = kSamples * kSamples;
      picture->pixels.push_back(Rgb{static_cast<std::uint8_t>(std::lround(r / n)),
                                    static_cast<std::uint8_t>(std::lround(g / n)),
                                    static_cast<std::uint8_t>(std::lround(b / n))});
    }
  }
  return picture;
}

}  // namespace toolkit
