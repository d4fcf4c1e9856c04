#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/base/bell.h"
#include "app/sdl/fonts.h"
#include "app/sdl/quit_signals.h"
#include "app/toolkit/backend.h"
#include "app/toolkit/window.h"

namespace sdl {

// Whether the program's display connection broke while it ran.
bool lostDisplay();
// Says on standard error that the Wayland connection broke, and why.
void sayLost(int error);

using toolkit::Align;
using toolkit::Border;
using toolkit::Control;
using toolkit::Event;
using toolkit::Font;
using toolkit::Label;
using toolkit::PictureBox;
using toolkit::PictureRef;
using toolkit::Rgb;
using toolkit::Size;
using toolkit::toTwips;
using toolkit::Window;

// What a control showed at a window's last paint, to find what changed.
struct Look {
  bool shown = false;
  SDL_Rect at{0, 0, 0, 0};  // in the window's pixels
  PictureRef picture;       // kept, so that a new picture never shares its address
  Rgb back, fore;
  int border = 0, align = 0;
  std::string caption;
  Font font;
};
// The real screen: one borderless SDL window per Window, its pixels drawn in
// memory from the Window's controls; keys, clicks and close requests become Events.
class SdlBackend : public toolkit::Backend {
 public:
  // Nothing, with the reason in why, when no display can be reached. It plays
  // on the monitor it starts on, unless given another screen (tests). A
  // connection to the listening socket `calls` brings the game's windows to
  // the front, with the keyboard.
  static std::unique_ptr<SdlBackend> create(std::string& why,
                                            std::optional<toolkit::Screen> screen = {},
                                            int calls = -1);
  ~SdlBackend() override;
  SdlBackend(const SdlBackend&) = delete;
  SdlBackend& operator=(const SdlBackend&) = delete;

  std::int64_t nowMs() override;
  void sleepMs(std::int64_t ms) override;
  void sleepUntil(base::Bell& bell, std::int64_t ms) override;
  bool quitRequested() override { return quit_; }
  std::optional<Event> waitEvent(std::int64_t timeoutMs) override;
  void dropCloseRequests() override;
  std::uint64_t clockSeed() override;

  void createWindow(Window& w) override;
  void destroyWindow(Window& w) override;
  void showWindow(Window& w) override;
  void hideWindow(Window& w) override;
  void moveWindow(Window& w) override;
  void paint(Window& w) override;

  toolkit::Screen screen() override { return screen_; }

  // The pointer hides once it has rested this long over the game (3 s unless
  // a test says otherwise), and shows again as soon as it moves.
  void setPointerRest(std::int64_t ms) { pointerRestMs_ = ms; }

 private:
  struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
  };
  using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;
  // A picture's surface lends the picture's own pixels; a text's holds the
  // rendered text.
  struct Cached {
    SurfacePtr surface;
    int width = 0, height = 0;
    bool used = false;
    PictureRef keepAlive;  // a picture's address stays its own while cached
    int drop = 0;          // text: how far below the label's top it is drawn
    PictureRef refitted;   // the picture fitted again for a screen the desktop changed
  };
  using TextKey = std::tuple<std::string, std::string, double, int, int>;
  struct Native {
    Window* window = nullptr;
    SDL_Window* sdl = nullptr;
    bool popup = false;
    // Why its Wayland connection broke, asked without SDL (see x11.h).
    std::function<int()> broken;
    // On Wayland a window kept above the game is drawn into the game's own
    // window at its place there (a compositor puts a window of its own
    // wherever it likes): its pixels, the window it shows in, and whether
    // it is shown.
    SurfacePtr drawn;
    Native* host = nullptr;
    bool overlaid = false;
    int putBack = 0;                // moves undone in a row
    bool showAtPaint = false;       // shown, but not on screen before its first paint
    bool fullScreenAtShow = false;  // on Wayland: asked for once shown, where it shows
    std::map<const media::Picture*, Cached> pictures;
    std::map<TextKey, Cached> texts;
    // What the last paint drew, and on which pixels; a paint on new pixels
    // draws and sends the whole window, and one after the desktop lost what
    // was shown (wholeNext) sends it all again.
    std::vector<Look> looks;
    SDL_Surface* paintedOn = nullptr;
    Rgb paintedBack;
    bool wholeNext = true;
    // Where X lost the window's pixels since the last paint, as it said.
    std::vector<SDL_Rect> lost;
    // The number of the first request that sent X the first paint (see
    // x11::nextRequest), and whether X said it lost pixels before it.
    unsigned long firstSent = 0;
    bool lostBeforePaint = false;
    // Brings the window's pixels into memory while the game loads; anything
    // that touches or replaces them waits for it (see ready).
    std::jthread preparing;
  };

  SdlBackend();

  // A window's place on the desktop, in pixels.
  SDL_Rect placeOf(const Window& w) const;
  Native* find(const Window& w);
  // Makes the desktop's window for n if it has none yet; false if it cannot.
  bool realise(Native& n);
  // Sets the window's pixels up in memory on a thread of its own, so that
  // the first paint finds them ready.
  void prepare(Native& n);
  // Waits until the window's pixels are prepared.
  static void ready(Native& n) {
    if (n.preparing.joinable()) n.preparing.join();
  }
  Native* findSdl(Uint32 windowId);
  // Where an overlay lies in its host's pixels.
  SDL_Rect overlayPlace(const Native& overlay) const;
  // The shown overlay at a point of host's pixels, the point made its own.
  Native* overlayAt(const Native& host, Sint32& x, Sint32& y);
  // Puts the host's shown overlays back over what a paint drew into to.
  void drawOverlays(const Native& host, SDL_Surface* to, std::vector<SDL_Rect>& changed,
                    bool whole);
  // The host shows its overlay's pixels, as painted.
  void showOverlay(Native& overlay, const std::vector<SDL_Rect>& changed, bool whole);
  // The host paints afresh where an overlay was.
  void uncover(Native& overlay);
  void translate(const SDL_Event& e);
  void push(Event::Kind kind, Window* w);
  void focusTopWindow();
  Native* topOrdinaryWindow();
  // The desktop decides where a full-screen window goes and how large it is:
  // the designs follow what it gave.
  void adoptSize(Native& n, int width, int height);
  void bringForward(Native& n);
  // SDL_ShowWindow, which on Wayland waits for the compositor's first word
  // about the window.
  void showNow(Native& n);
  void askToQuit();
  // Whether the Wayland connection broke (SDL then asks to quit, but only
  // once it reads, which a wait on a sound does not): if so, that is said,
  // and the program ends with status 1 (see lostDisplay), as on a lost X
  // display.
  bool noteLostDisplay();
  void askToComeForward();
  static int SDLCALL retypeWakes(void* backend, SDL_Event* e);
  void takeRequests();
  // To the front, with the keyboard, as a second start of the game asks.
  void comeForward();
  // Hides the pointer if it has rested long enough; the time until it will
  // have, or -1 when it is hidden already.
  std::int64_t restPointer();

  // A control's box in the window's pixels, its container's corner at origin.
  SDL_Rect pixelsOf(const Control& c, double originX = 0, double originY = 0) const;
  // The corner of a control's container inside its edge, in twips from the
  // window's corner, worked out as drawing does.
  std::pair<double, double> originOf(const Control* container) const;
  std::vector<Look> looksOf(const Window& w) const;
  static TextKey textKeyOf(const Label& label);
  std::jthread fitAhead(Native& n, const SDL_Rect& all) const;
  void showPainted(Native& n, SDL_Surface* to);
  void drawContents(Native& n, SDL_Surface* to, const Control* container, double originX,
                    double originY, const SDL_Rect& clip);
  void drawLabel(Native& n, SDL_Surface* to, const Label& label, double originX, double originY,
                 const SDL_Rect& clip);
  void drawPictureBox(Native& n, SDL_Surface* to, const PictureBox& box, double originX,
                      double originY, const SDL_Rect& clip);
  Cached* pictureSurface(Native& n, const PictureRef& picture);
  // Where, in the window, a picture box's new picture differs from the one
  // it showed; nothing when more than its picture changed or the two cannot
  // be compared, and no areas when they look the same.
  std::optional<std::vector<SDL_Rect>> pictureChange(const PictureBox& box, const Look& before,
                                                     const Look& now);
  // Where, in the window, a label's new caption changes its pixels; nothing
  // when more than its caption changed or its text's place cannot be told.
  std::optional<std::vector<SDL_Rect>> captionChange(const Look& before, const Look& now);
  std::optional<SDL_Rect> textArea(const Look& look);
  // How far below its label's top a text is drawn: the designs were laid out
  // with fonts whose ascent is a full em, so a capital stands well below the
  // label's top. The free look-alikes of some have an ascent no taller than
  // their capitals; lowering their text to a one-em baseline keeps the big
  // letter level with the frog's mouth.
  int textDrop(const Font& f, TTF_Font* font) const;
  // The left of a text `width` wide aligned in box.
  static int textLeft(const SDL_Rect& box, int align, int width);
  Cached* textSurface(Native& n, const Label& label);
  TTF_Font* font(const Font& f);
  // Closes the fonts no text has asked for in a while (see drawing.cpp).
  void closeIdleFonts();

  toolkit::Screen screen_;
  double picturesScale_ = 1;  // the scale the pictures are fitted to
  bool onX11_ = true;         // SDL's driver is X11's, not Wayland's
  std::unique_ptr<FontFinder> fonts_;
  bool fontsChecked_ = false;
  struct OpenFont {
    TTF_Font* font = nullptr;  // none: the file did not open
    std::int64_t usedAt = 0;   // nowMs()
  };
  std::map<std::tuple<std::string, int, int>, OpenFont> openFonts_;  // file, face, size
  std::vector<std::unique_ptr<Native>> windows_;                     // in creation order
  std::deque<Event> pending_;
  // The areas in which two pictures differ, by the pixels compared: the
  // frog's frames follow each other in the same order at every letter.
  struct Difference {
    std::weak_ptr<const media::Picture> from, to;
    std::vector<SDL_Rect> areas;
  };
  std::deque<Difference> differences_;  // the latest last

  // Sleeping ends early at a quit signal.
  std::mutex sleepMutex_;
  std::condition_variable sleeper_;
  base::Bell* waitingOn_ = nullptr;  // the bell a waited sound rings
  std::atomic<bool> quit_{false};
  std::unique_ptr<QuitSignals> signals_;
  Uint32 wakeEvent_ = static_cast<Uint32>(-1);
  bool wakeable_ = false;  // a wake can end a wait for events
  std::atomic<bool> comeForwardAsked_{false};
  std::int64_t pointerRestMs_ = 3000;
  std::int64_t pointerMovedAt_ = 0;
  bool pointerHidden_ = false;
};

}  // namespace sdl
