// The SDL backend on SDL's off-screen display: what a paint puts in the
// window's pixels, and which events input becomes.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <SDL.h>

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/sdl/backend.h"
#include "app/toolkit/window_system.h"

namespace {

using toolkit::Event;
using toolkit::Rgb;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kGreen{0, 255, 0};
// A solid block: text whose pixels are all ink.
const std::string kBlock = "\u2588";

double px(int pixels) {
  return toolkit::toTwips(pixels);
}

media::PictureRef solid(int w, int h, Rgb c) {
  auto p = std::make_shared<media::Picture>();
  p->width = w, p->height = h;
  p->pixels.assign(static_cast<std::size_t>(w) * h, c);
  return p;
}

// Blue text in a 36-point font, each block a solid square of ink.
void ink(toolkit::Label& label, const std::string& text = kBlock, double points = 36) {
  label.setCaption(text);
  label.setFont({"MS Sans Serif", points, 400});
  label.setForeColor(kBlue);
}

// A window 200 x 100 pixels, white, with whatever a test puts on it.
struct TestWindow : toolkit::Window {
  explicit TestWindow(toolkit::WindowSystem& ws, const std::string& caption = "paint test")
      : toolkit::Window(ws, "test", caption, px(200), px(100)) {
    setBackColor(kWhite);
  }
};

struct SdlBackendTest : ::testing::Test {
  static std::unique_ptr<sdl::SdlBackend> backend;

  // Pixels as the designs give them, on a monitor at the desktop's corner.
  static void SetUpTestSuite() { start({{0, 0, 1024, 768}, 1}); }
  static void start(toolkit::Screen screen) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    // Nor GL behind the window surface: no GL library is loaded at all.
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    std::string why;
    backend = sdl::SdlBackend::create(why, screen);
    ASSERT_TRUE(backend) << why;
  }
  static void TearDownTestSuite() { backend.reset(); }

  void SetUp() override {
    ASSERT_TRUE(backend);
    ws = std::make_unique<toolkit::WindowSystem>(*backend);
    win = std::make_unique<TestWindow>(*ws);
    while (backend->waitEvent(0)) {
    }
  }

  // Shows and paints the window; what showing it queued is dropped, so the
  // input tests see only their own events.
  void paint(toolkit::Window& w) {
    ws->show(w);
    while (backend->waitEvent(0)) {
    }
    ws->paintDirty();
  }

  // The window's pixels as last painted.
  struct Pixels {
    int width = 0, height = 0;
    std::vector<Uint8> bytes;
    Rgb at(int x, int y) const {
      const Uint8* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 3];
      return {p[0], p[1], p[2]};
    }
    int count(Rgb c, int x0, int y0, int x1, int y1) const {
      int n = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += at(x, y) == c;
      return n;
    }
    // The first column, left to right, holding colour c; -1 if none.
    int firstColumn(Rgb c) const {
      for (int x = 0; x < width; ++x)
        if (count(c, x, 0, x + 1, height) > 0) return x;
      return -1;
    }
  };

  static SDL_Window* sdlWindow(const std::string& caption) {
    for (Uint32 id = 1; id < 1000; ++id)
      if (SDL_Window* w = SDL_GetWindowFromID(id); w && caption == SDL_GetWindowTitle(w)) return w;
    return nullptr;
  }

  Pixels pixels(const toolkit::Window& w) {
    Pixels out;
    SDL_Window* sdl = sdlWindow(w.caption());
    SDL_Surface* s = sdl ? SDL_GetWindowSurface(sdl) : nullptr;
    if (!s) {
      ADD_FAILURE() << "no pixels for " << w.caption();
      return out;
    }
    out.width = s->w, out.height = s->h;
    out.bytes.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    if (SDL_ConvertPixels(s->w, s->h, s->format->format, s->pixels, s->pitch, SDL_PIXELFORMAT_RGB24,
                          out.bytes.data(), out.width * 3) != 0)
      ADD_FAILURE() << SDL_GetError();
    return out;
  }

  // Where the desktop's window is, and its size, in pixels: x, y, width, height.
  static std::array<int, 4> place(const toolkit::Window& w) {
    std::array<int, 4> p{};
    SDL_GetWindowPosition(sdlWindow(w.caption()), &p[0], &p[1]);
    SDL_GetWindowSize(sdlWindow(w.caption()), &p[2], &p[3]);
    return p;
  }

  // Puts an event for w on SDL's queue; fill sets what else it says. Every
  // kind of event for a window keeps the window's id at the same place.
  void push(Uint32 type, const toolkit::Window& w,
            const std::function<void(SDL_Event&)>& fill = {}) {
    SDL_Event e{};
    e.type = type;
    e.window.windowID = SDL_GetWindowID(sdlWindow(w.caption()));
    if (fill) fill(e);
    SDL_PushEvent(&e);
  }
  void pushWindowEvent(const toolkit::Window& w, Uint8 event) {
    push(SDL_WINDOWEVENT, w, [&](SDL_Event& e) { e.window.event = event; });
  }
  void pushText(const toolkit::Window& w, const char* text) {
    push(SDL_TEXTINPUT, w,
         [&](SDL_Event& e) { SDL_strlcpy(e.text.text, text, sizeof e.text.text); });
  }

  std::unique_ptr<toolkit::WindowSystem> ws;
  std::unique_ptr<TestWindow> win;  // the window most tests paint on, not yet shown
};

std::unique_ptr<sdl::SdlBackend> SdlBackendTest::backend;

// Labels paint beneath picture boxes whatever their order.
TEST_F(SdlBackendTest, LabelsPaintBeneathPictureBoxesWhosePicturesAreClippedNotScaled) {
  toolkit::PictureBox box(*win, "box", nullptr, px(0), px(0), px(30), px(100));
  toolkit::Label label(*win, "label", nullptr, px(0), px(0), px(200), px(100));
  toolkit::PictureBox clipped(*win, "clipped", nullptr, px(140), px(20), px(50), px(40));
  box.setBackColor(kYellow);
  ink(label, kBlock + kBlock + kBlock);
  clipped.setPicture(solid(300, 300, kRed));
  paint(*win);
  const Pixels p = pixels(*win);
  EXPECT_EQ(p.count(kYellow, 0, 0, 30, 100), 30 * 100);  // the box hides the label
  EXPECT_GT(p.count(kBlue, 30, 0, 140, 100), 500);       // which shows beside it
  EXPECT_EQ(p.count(kRed, 0, 0, 200, 100), 50 * 40);
  EXPECT_EQ(p.count(kRed, 140, 20, 190, 60), 50 * 40);
}

TEST_F(SdlBackendTest, ASunkenBoxHasItsEdgeAndPictureInsideControlsInABoxAreClippedToIt) {
  toolkit::PictureBox box(*win, "box", nullptr, px(10), px(10), px(40), px(30));
  box.setBorder(toolkit::Border::Sunken);
  box.setBackColor(kYellow);
  box.setPicture(solid(10, 5, kRed));
  toolkit::PictureBox frame(*win, "frame", nullptr, px(60), px(20), px(60), px(50));
  toolkit::Label inside(*win, "inside", &frame, px(-10), px(10), px(200), px(100));
  frame.setBackColor(kYellow);
  ink(inside, kBlock + kBlock + kBlock + kBlock);
  paint(*win);
  const Pixels p = pixels(*win);
  const Rgb grey{128, 128, 128}, light{192, 192, 192};
  // Outer then inner edge, top-left grey and black, bottom-right white and
  // light grey; the picture inside the edge, unscaled, the box's colour
  // around it; white outside the box.
  const std::tuple<int, int, Rgb> expected[] = {
      {10, 10, grey},   {30, 10, grey},    {10, 30, grey},    {11, 11, kBlack}, {30, 11, kBlack},
      {49, 39, kWhite}, {30, 39, kWhite},  {48, 38, light},   {48, 20, light},  {12, 12, kRed},
      {21, 16, kRed},   {22, 12, kYellow}, {12, 17, kYellow}, {50, 20, kWhite}};
  for (auto [x, y, c] : expected) EXPECT_EQ(p.at(x, y), c) << x << "," << y;
  // Above the label's top, inside the frame: only the frame.
  EXPECT_EQ(p.count(kBlue, 60, 20, 120, 30), 0);
  EXPECT_GT(p.count(kBlue, 60, 30, 120, 70), 500);
  // Nothing of the label outside the frame.
  EXPECT_EQ(p.count(kBlue, 0, 0, 60, 100), 0);
  EXPECT_EQ(p.count(kBlue, 120, 0, 200, 100), 0);
  EXPECT_EQ(p.count(kBlue, 0, 70, 200, 100), 0);
}

TEST_F(SdlBackendTest, HiddenControlsTheContentsOfHiddenBoxesAndControlsFarOffAreNotSeen) {
  toolkit::PictureBox box(*win, "box", nullptr, px(0), px(0), px(100), px(100));
  toolkit::Label inside(*win, "inside", &box, px(0), px(0), px(100), px(100));
  toolkit::Label hidden(*win, "hidden", nullptr, px(100), px(0), px(100), px(100));
  toolkit::PictureBox far(*win, "far", nullptr, -30000, px(10), px(60), px(50));
  toolkit::Label label(*win, "label", &far, 0, 0, px(60), px(50));
  box.setBackColor(kYellow);
  ink(inside);
  ink(hidden);
  hidden.setVisible(false);
  box.setVisible(false);
  far.setPicture(solid(60, 50, kRed));
  label.setCaption("A");
  paint(*win);
  EXPECT_EQ(pixels(*win).count(kWhite, 0, 0, 200, 100), 200 * 100);
  box.setVisible(true);
  ws->paintDirty();
  EXPECT_GT(pixels(*win).count(kBlue, 0, 0, 100, 100), 100);
  // Half a pixel to the right of 110 rounds to 111, as the clicks count it.
  far.setLeft(px(110) + 7.5);
  ws->paintDirty();
  const Pixels p = pixels(*win);
  EXPECT_EQ(p.at(110, 30), kWhite);
  EXPECT_EQ(p.at(111, 30), kRed);
}

// The big letter's font stand-in has an ascent no taller than its capitals;
// drawn from the label's top it would float above the frog's mouth.
TEST_F(SdlBackendTest, TheWindowTakesItsBoundsInPixelsAndTextStandsOnABaselineOneEmDown) {
  win->setBounds(px(30), px(20), px(200), px(200));
  toolkit::Label letter(*win, "letter", nullptr, 0, 0, px(109), px(140));
  letter.setCaption("H");
  letter.setFont({"Century Gothic", 84.75, 600});
  letter.setForeColor(kBlue);
  paint(*win);
  EXPECT_EQ(place(*win), (std::array{30, 20, 200, 200}));
  const Pixels p = pixels(*win);
  EXPECT_EQ(p.count(kWhite, 109, 0, 200, 200), 91 * 200);
  int top = -1, bottom = -1;
  for (int y = 0; y < 140; ++y)
    if (p.count(kBlue, 0, y, 109, y + 1) > 0) {
      if (top < 0) top = y;
      bottom = y;
    }
  // The capital's foot rests about one em (113 px at 84.75 points) down.
  EXPECT_NEAR(bottom, 113, 4);
  EXPECT_GT(top, 20);
}

TEST_F(SdlBackendTest, LabelsAlignTheirTextWithinTheirWidth) {
  toolkit::Label label(*win, "label", nullptr, px(20), px(0), px(160), px(100));
  ink(label);
  paint(*win);
  const int left = pixels(*win).firstColumn(kBlue);
  label.setAlignment(toolkit::Align::Center);
  ws->paintDirty();
  const int centre = pixels(*win).firstColumn(kBlue);
  label.setAlignment(toolkit::Align::Right);
  ws->paintDirty();
  const Pixels right = pixels(*win);
  const int width = right.count(kBlue, 0, 50, 200, 51);
  ASSERT_GT(width, 10);
  EXPECT_LE(left - 20, 5);  // the glyph's own side bearing at most
  EXPECT_NEAR(centre, 20 + (160 - width) / 2, 6);
  EXPECT_EQ(right.count(kBlue, 180, 0, 200, 100), 0);
  EXPECT_NEAR(right.firstColumn(kBlue), 180 - width, 6);
}

TEST_F(SdlBackendTest, RepaintsShowChangedPicturesCaptionsAndColours) {
  toolkit::PictureBox box(*win, "box", nullptr, px(0), px(0), px(50), px(50));
  toolkit::Label label(*win, "label", nullptr, px(100), px(0), px(100), px(100));
  box.setPicture(solid(50, 50, kRed));
  ink(label);
  paint(*win);
  EXPECT_EQ(pixels(*win).count(kRed, 0, 0, 50, 50), 2500);
  box.setPicture(solid(50, 50, kGreen));
  label.setForeColor(kRed);
  ws->paintDirty();
  Pixels p = pixels(*win);
  EXPECT_EQ(p.count(kGreen, 0, 0, 50, 50), 2500);
  EXPECT_EQ(p.count(kBlue, 100, 0, 200, 100), 0);
  EXPECT_GT(p.count(kRed, 100, 0, 200, 100), 100);
  label.setCaption(kBlock + kBlock);
  ws->paintDirty();
  EXPECT_GT(pixels(*win).count(kRed, 100, 0, 200, 100), p.count(kRed, 100, 0, 200, 100) * 3 / 2);
  // Every pixel of a picture in its own place and colour.
  auto mixed = std::make_shared<media::Picture>(*solid(50, 50, kRed));
  for (std::size_t i = 0; i < mixed->pixels.size(); ++i)
    mixed->pixels[i] = {Uint8(i % 50 * 5), Uint8(i / 50 * 5), Uint8(i % 7 * 36)};
  box.setPicture(mixed);
  ws->paintDirty();
  const Pixels m = pixels(*win);
  int misplaced = 0;
  for (int i = 0; i < 2500; ++i) misplaced += m.at(i % 50, i / 50) != mixed->pixels[i];
  EXPECT_EQ(misplaced, 0);
}

TEST_F(SdlBackendTest, OnlyWhatChangedIsDrawnAgainUnlessThePixelsAreNew) {
  toolkit::PictureBox box(*win, "box", nullptr, px(0), px(0), px(50), px(50));
  box.setPicture(solid(50, 50, kRed));
  paint(*win);
  SDL_Surface* s = SDL_GetWindowSurface(sdlWindow(win->caption()));
  const SDL_Rect mark{150, 50, 10, 10};  // a spot no control changes
  SDL_SetClipRect(s, nullptr);
  SDL_FillRect(s, &mark, SDL_MapRGB(s->format, 0, 0, 255));
  box.setPicture(solid(50, 50, kGreen));
  ws->paintDirty();
  EXPECT_EQ(pixels(*win).count(kGreen, 0, 0, 50, 50), 2500);
  EXPECT_EQ(pixels(*win).count(kBlue, 150, 50, 160, 60), 100);
  pushWindowEvent(*win, SDL_WINDOWEVENT_EXPOSED);
  box.setPicture(solid(50, 50, kRed));  // a change in the same paint is drawn all the same
  ws->pumpOnce();
  // What X lost is sent again as the window's pixels hold it, not drawn anew.
  EXPECT_EQ(pixels(*win).count(kRed, 0, 0, 50, 50), 2500);
  EXPECT_EQ(pixels(*win).count(kBlue, 150, 50, 160, 60), 100);
  // New pixels for the window (a new size) are drawn whole.
  SDL_SetWindowSize(sdlWindow(win->caption()), 201, 100);
  SDL_SetWindowSize(sdlWindow(win->caption()), 200, 100);
  s = SDL_GetWindowSurface(sdlWindow(win->caption()));
  win->invalidate();
  ws->paintDirty();
  EXPECT_EQ(pixels(*win).count(kWhite, 150, 50, 160, 60), 100);
  EXPECT_EQ(pixels(*win).count(kRed, 0, 0, 50, 50), 2500);
  // A new colour for the window is drawn around the box, which covers its own.
  const SDL_Rect inBox{10, 10, 10, 10};
  SDL_FillRect(s, &inBox, SDL_MapRGB(s->format, 0, 0, 255));
  win->setBackColor(kYellow);
  ws->paintDirty();
  const Pixels p = pixels(*win);
  EXPECT_EQ(p.count(kBlue, 10, 10, 20, 20), 100);
  EXPECT_EQ(p.count(kYellow, 0, 0, 200, 100), 200 * 100 - 2500);
  // A new picture is drawn only where it differs from the one before.
  auto spotted = std::make_shared<media::Picture>(*solid(50, 50, kRed));
  for (int y = 30; y < 40; ++y)
    for (int x = 30; x < 40; ++x) spotted->pixels[static_cast<std::size_t>(y) * 50 + x] = kGreen;
  box.setPicture(spotted);
  ws->paintDirty();
  EXPECT_EQ(pixels(*win).count(kGreen, 30, 30, 40, 40), 100);
  EXPECT_EQ(pixels(*win).count(kBlue, 10, 10, 20, 20), 100);
  // Differences far apart, one near the top and one near the bottom, then
  // in the same rows: what lies between them is not drawn again.
  auto twoSpots = [&](const media::Picture& from, int x1, int y1, int x2, int y2) {
    auto next = std::make_shared<media::Picture>(from);
    next->pixels[static_cast<std::size_t>(y1 * 50 + x1)] = kBlack;
    next->pixels[static_cast<std::size_t>(y2 * 50 + x2)] = kBlack;
    box.setPicture(next);
    ws->paintDirty();
    const Pixels now = pixels(*win);
    EXPECT_EQ(now.count(kBlack, x1, y1, x1 + 1, y1 + 1) + now.count(kBlack, x2, y2, x2 + 1, y2 + 1),
              2);
    EXPECT_EQ(now.count(kBlue, 10, 10, 20, 20), 100);
    return next;
  };
  twoSpots(*twoSpots(*spotted, 15, 2, 15, 45), 2, 15, 47, 15);
  // A new caption is drawn where its old text and its new stand: the old
  // is gone, and the rest of the label is not drawn again.
  toolkit::Label label(*win, "label", nullptr, px(60), px(50), px(140), px(50));
  ink(label);
  ws->paintDirty();
  const int oneBlock = pixels(*win).count(kBlue, 60, 50, 200, 100);
  label.setCaption(kBlock + kBlock);
  ws->paintDirty();
  EXPECT_GT(pixels(*win).count(kBlue, 60, 50, 200, 100), oneBlock * 3 / 2);
  s = SDL_GetWindowSurface(sdlWindow(win->caption()));
  const SDL_Rect beyond{180, 52, 10, 10};
  SDL_SetClipRect(s, nullptr);
  SDL_FillRect(s, &beyond, SDL_MapRGB(s->format, 0, 255, 0));
  label.setCaption(kBlock);
  ws->paintDirty();
  EXPECT_EQ(pixels(*win).count(kBlue, 60, 50, 200, 100), oneBlock);
  EXPECT_EQ(pixels(*win).count(kGreen, 180, 52, 190, 62), 100);
}

TEST_F(SdlBackendTest, TypedTextBecomesOneKeyPerCharacterUntilItsWindowIsGone) {
  paint(*win);
  pushText(*win, "a\xc3\xa9\xe6\x97\xa5");  // a é 日
  std::vector<std::int16_t> keys;
  while (auto ev = backend->waitEvent(0)) {
    EXPECT_EQ(ev->kind, Event::Kind::Key);
    EXPECT_EQ(ev->window, win.get());
    keys.push_back(ev->keyAscii);
  }
  EXPECT_EQ(keys, (std::vector<std::int16_t>{'a', 233, '?'}));
  pushText(*win, "ab");
  ASSERT_TRUE(backend->waitEvent(0));  // "a"; "b" waits
  win.reset();
  EXPECT_FALSE(backend->waitEvent(0));
}

// Keys without text come from their key-down and Alt+F4 does not close. The
// left button's presses and releases reach their window with the pointer's
// place; which control they hit is the window system's business.
TEST_F(SdlBackendTest, KeysWithoutTextAndTheLeftButtonsPressAndReleaseReachTheirWindow) {
  paint(*win);
  auto press = [&](SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    push(SDL_KEYDOWN, *win, [&](SDL_Event& e) { e.key.keysym.sym = key, e.key.keysym.mod = mod; });
  };
  // Keys that type text come as text input, not here: taking them here too
  // would type them twice.
  for (SDL_Keycode key : {SDLK_RETURN, SDLK_a, SDLK_KP_ENTER, SDLK_1, SDLK_BACKSPACE, SDLK_SPACE,
                          SDLK_ESCAPE, SDLK_LSHIFT, SDLK_TAB, SDLK_F4})
    press(key);
  // A child's Alt+F4 is no way out: only the stop sign or the desktop's own close.
  press(SDLK_F4, KMOD_LALT);
  std::vector<std::int16_t> keys;  // any other event would add a 0
  while (auto e = backend->waitEvent(0)) keys.push_back(e->keyAscii);
  EXPECT_EQ(keys, (std::vector<std::int16_t>{13, 13, 8, 27, 9}));

  auto button = [&](Uint32 type, Uint8 which, int x, int y) {
    push(type, *win,
         [&](SDL_Event& e) { e.button.button = which, e.button.x = x, e.button.y = y; });
  };
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 5);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 5);
  push(SDL_MOUSEMOTION, *win);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 40, 30);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 42, 31);
  for (auto [kind, x, y] :
       {std::tuple{Event::Kind::Press, 40, 30}, {Event::Kind::Release, 42, 31}}) {
    auto e = backend->waitEvent(0);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, kind);
    EXPECT_EQ(e->window, win.get());
    EXPECT_EQ(e->x, x);
    EXPECT_EQ(e->y, y);
  }
  EXPECT_FALSE(backend->waitEvent(0));
}

// Where the desktop places every window itself (Wayland, and off screen), a
// window kept above is drawn inside the one beneath, at its own place, over
// what that one paints; clicks there are its own; gone, it leaves nothing.
TEST_F(SdlBackendTest, AWindowKeptAboveIsDrawnInsideTheOneBeneath) {
  TestWindow game(*ws, "game");
  paint(game);
  {
    TestWindow above(*ws, "above");
    above.setAlwaysOnTop(true);
    above.setBounds(px(50), px(20), px(60), px(40));
    above.setBackColor(kRed);
    paint(above);
    EXPECT_EQ(sdlWindow("above"), nullptr);
    EXPECT_EQ(pixels(game).count(kRed, 50, 20, 110, 60), 60 * 40);
    game.setBackColor(kBlue);
    ws->paintDirty();
    EXPECT_EQ(pixels(game).count(kRed, 0, 0, 200, 100), 60 * 40);
    push(SDL_MOUSEBUTTONDOWN, game,
         [](SDL_Event& e) { e.button.button = SDL_BUTTON_LEFT, e.button.x = 55, e.button.y = 25; });
    auto press = backend->waitEvent(0);
    ASSERT_TRUE(press);
    EXPECT_EQ(std::tuple(press->window, press->x, press->y), std::tuple(&above, 5, 5));
  }
  while (backend->waitEvent(0)) {
  }
  ws->paintDirty();
  EXPECT_EQ(pixels(game).count(kBlue, 0, 0, 200, 100), 200 * 100);
}

// A quit signal ends a sleep at once and comes as a Quit event. The wake
// that carries it to the event loop, left over with nothing asked, is no quit.
TEST_F(SdlBackendTest, AQuitSignalEndsASleepAndBecomesAQuitEvent) {
  pthread_kill(pthread_self(), SIGUSR1);
  EXPECT_FALSE(backend->waitEvent(100));
  const std::int64_t before = backend->nowMs();
  std::thread signaller([] {
    SDL_Delay(100);
    kill(getpid(), SIGTERM);
  });
  backend->sleepMs(10000);
  signaller.join();
  EXPECT_LT(backend->nowMs() - before, 2000);
  EXPECT_TRUE(backend->quitRequested());
  auto e = backend->waitEvent(1000);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Event::Kind::Quit);
}

TEST_F(SdlBackendTest, CloseRequestsAndExposuresReachTheirWindow) {
  TestWindow first(*ws, "first");
  TestWindow second(*ws, "second");
  paint(first);
  paint(second);
  pushWindowEvent(second, SDL_WINDOWEVENT_CLOSE);
  pushWindowEvent(first, SDL_WINDOWEVENT_EXPOSED);
  // Quitting from outside is a request to the whole program, not to a window.
  push(SDL_QUIT, first);

  std::vector<std::pair<Event::Kind, toolkit::Window*>> got;
  while (auto ev = backend->waitEvent(0)) got.emplace_back(ev->kind, ev->window);
  EXPECT_EQ(got,
            (std::vector<std::pair<Event::Kind, toolkit::Window*>>{{Event::Kind::Close, &second},
                                                                   {Event::Kind::Expose, &first},
                                                                   {Event::Kind::Quit, nullptr}}));
}

// Waiting ignores other input (the pointer's moves) and ends with its time-out.
TEST_F(SdlBackendTest, WaitingIgnoresMovesThePointerHidesOnceItRestsAndShowsWhenItMoves) {
  paint(*win);
  backend->setPointerRest(60000);
  push(SDL_MOUSEMOTION, *win);
  EXPECT_FALSE(backend->waitEvent(30));
  const std::int64_t moved = backend->nowMs();  // at the latest
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  // Resting until at most 100 ms from now, within a wait of 300: it hides
  // while the wait goes on to its end.
  backend->setPointerRest(backend->nowMs() - moved + 100);
  EXPECT_FALSE(backend->waitEvent(300));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  push(SDL_MOUSEMOTION, *win);
  EXPECT_FALSE(backend->waitEvent(0));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  backend->setPointerRest(3000);
}

// Twice the designs' size, on a monitor that starts 100 pixels right and 50 down.
struct ScaledSdlBackendTest : SdlBackendTest {
  static void SetUpTestSuite() { start({{100, 50, 1600, 1200}, 2}); }
};

TEST_F(ScaledSdlBackendTest, PlacesSizesEdgesAndTextGrowWithTheScale) {
  win->setBounds(px(30), px(20), px(160), px(90));
  toolkit::PictureBox box(*win, "box", nullptr, px(10), px(10), px(40), px(30));
  box.setBorder(toolkit::Border::Sunken);
  box.setBackColor(kYellow);
  // A picture drawn for this scale: twice as many pixels as its design size.
  auto drawn = std::make_shared<media::Picture>(*solid(20, 10, kRed));
  drawn->designWidth = 10, drawn->designHeight = 5;
  box.setPicture(drawn);
  toolkit::Label label(*win, "label", nullptr, px(60), px(0), px(100), px(90));
  ink(label, kBlock, 24);
  paint(*win);

  EXPECT_EQ(place(*win), (std::array{160, 90, 320, 180}));

  const Pixels p = pixels(*win);
  const Rgb grey{128, 128, 128};
  // The box at 20,20, 80 x 60, its edge two lines of two pixels each.
  // White outside the box; the picture inside the edge at its own pixels, no larger.
  const std::tuple<int, int, Rgb> expected[] = {
      {20, 20, grey},   {21, 40, grey},    {22, 22, kBlack}, {23, 40, kBlack},
      {99, 79, kWhite}, {100, 40, kWhite}, {24, 24, kRed},   {43, 33, kRed}};
  for (auto [x, y, c] : expected) EXPECT_EQ(p.at(x, y), c) << x << "," << y;
  EXPECT_EQ(p.count(kRed, 0, 0, 320, 180), 20 * 10);
  // 24 points at 96 dots per inch are 32 pixels to the em; twice that here.
  int inkRows = 0;
  for (int row = 0; row < 180; ++row) inkRows += p.count(kBlue, 120, row, 320, row + 1) > 0;
  EXPECT_GE(inkRows, 56);
  EXPECT_LE(inkRows, 80);
}

}  // namespace
#endif
