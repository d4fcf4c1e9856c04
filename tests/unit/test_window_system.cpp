// The window-system layer on the headless backend: timers, the event loop,
// modal windows, input, closing and ending, random numbers, auto-sized boxes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/toolkit/window.h"
#include "app/toolkit/window_system.h"
#include "media/file_read.h"
#include "tests/support/headless_backend.h"

using Strings = std::vector<std::string>;
using Times = std::vector<std::int64_t>;

namespace {

// A window whose handlers are set by the test.
class TestWindow : public toolkit::Window {
 public:
  TestWindow(toolkit::WindowSystem& ws, std::string name)
      : toolkit::Window(ws, std::move(name), "Test", 9000, 6000) {}

  std::function<void(std::int16_t)> onKey;
  std::function<void(int&)> onUnload;
  int unloads = 0;

  void Form_KeyPress(std::int16_t& key) override {
    if (onKey) onKey(key);
  }
  void Form_Unload(int& cancel) override {
    ++unloads;
    if (onUnload) onUnload(cancel);
  }
};

// A picture box placed in pixels.
std::unique_ptr<toolkit::PictureBox> box(toolkit::Window& w, const std::string& name, int x, int y,
                                         int width, int height,
                                         toolkit::Control* container = nullptr) {
  return std::make_unique<toolkit::PictureBox>(w, name, container, toolkit::toTwips(x),
                                               toolkit::toTwips(y), toolkit::toTwips(width),
                                               toolkit::toTwips(height));
}

struct Loop : ::testing::Test {
  testing_support::HeadlessBackend backend;
  toolkit::WindowSystem windows{backend};
  TestWindow main{windows, "main"};
  Strings log;

  // Writes "what@time" to the test's own log.
  void note(const std::string& what) {
    log.push_back(what + "@" + std::to_string(windows.nowMs()));
  }
  // Records each tick of t by time, in the list returned.
  std::map<const toolkit::Timer*, Times> ticksOf;
  Times& recorded(toolkit::Timer& t) {
    t.onTick = [this, &t] { ticksOf[&t].push_back(windows.nowMs()); };
    return ticksOf[&t];
  }
};

TEST_F(Loop, TimerTicksEveryIntervalFromWhenItIsEnabledUntilDisabled) {
  toolkit::Timer t(main, "T", 100, false);
  Times& ticks = recorded(t);
  windows.start(main);
  windows.runUntil(250);
  EXPECT_TRUE(ticks.empty());

  t.setEnabled(true);
  windows.runUntil(520);
  t.setEnabled(true);  // already on: the grid stays where it was
  windows.runUntil(700);
  t.setEnabled(false);
  windows.runUntil(2000);
  EXPECT_EQ(ticks, (Times{350, 450, 550, 650}));

  // Enabled again: a fresh interval from now.
  t.setEnabled(true);
  windows.runUntil(2250);
  EXPECT_EQ(ticks, (Times{350, 450, 550, 650, 2100, 2200}));

  // Read buffers handed back are kept while ticks follow closely, and let go
  // when the loop waits longer.
  media::giveBack(std::vector<std::uint8_t>(1000));
  windows.runUntil(2500);
  EXPECT_GT(media::spareBufferBytes(), 0u);
  t.setEnabled(false);
  windows.runUntil(3000);
  EXPECT_EQ(media::spareBufferBytes(), 0u);
}

// A window's timers run only while it is loaded; one enabled in the design
// starts counting when the window loads, not when the object was made.
TEST_F(Loop, TimerEnabledInTheDesignStartsCountingWhenItsWindowLoads) {
  toolkit::Timer t(main, "T", 100, true);
  Times& ticks = recorded(t);
  windows.block(1000);
  windows.start(main);
  windows.runUntil(1250);
  EXPECT_EQ(ticks, (Times{1100, 1200}));

  windows.unload(main);
  windows.block(500);
  EXPECT_EQ(ticks, (Times{1100, 1200}));
  windows.start(main);
  windows.runUntil(1900);
  EXPECT_EQ(ticks, (Times{1100, 1200, 1850}));
}

// A timer disabled while its tick is due never ticks again, whether another
// timer due at the same moment disables it, or one that blocked meanwhile.
TEST_F(Loop, TimerDisabledWhileItsTickIsDueNeverTicksAgain) {
  toolkit::Timer busy(main, "Busy", 100, true);
  toolkit::Timer same(main, "Same", 100, true);
  toolkit::Timer other(main, "Other", 120, true);
  Times& sameTicks = recorded(same);
  Times& otherTicks = recorded(other);
  busy.onTick = [&] {
    same.setEnabled(false);
    busy.setEnabled(false);
    windows.block(500);  // Other falls due meanwhile
    other.setEnabled(false);
  };
  windows.start(main);
  windows.runUntil(3000);
  EXPECT_TRUE(sameTicks.empty());
  EXPECT_TRUE(otherTicks.empty());
}

TEST_F(Loop, TickMissedWhileBusyComesOnceThenTheGridGoesOn) {
  toolkit::Timer t(main, "T", 100, true);
  Times& ticks = recorded(t);
  main.onKey = [&](std::int16_t) { windows.block(450); };  // busy 130..580
  backend.key(130, main, 'a');
  windows.start(main);
  windows.runUntil(750);
  EXPECT_EQ(ticks, (Times{100, 580, 600, 700}));
}

TEST_F(Loop, TimerWhoseOwnHandlerOverrunsTicksOnceAfterItThenOnItsGrid) {
  toolkit::Timer t(main, "T", 100, true);
  Times ticks;
  t.onTick = [&] {
    ticks.push_back(windows.nowMs());
    if (ticks.size() == 1) windows.block(450);
  };
  windows.start(main);
  windows.runUntil(750);
  EXPECT_EQ(ticks, (Times{100, 550, 600, 700}));
}

TEST_F(Loop, OwnTickNeverInterruptsItsHandlerEvenWhenItPumps) {
  toolkit::Timer own(main, "Own", 100, true);
  toolkit::Timer other(main, "Other", 70, true);
  other.onTick = [&] { note("other"); };
  own.onTick = [&] {
    note("own begin");
    if (log.size() < 3) {
      windows.block(350);
      windows.pumpOnce();
    }
    note("own end");
  };
  windows.start(main);
  windows.runUntil(520);
  EXPECT_EQ(log, (Strings{"other@70", "own begin@100", "other@450", "own end@450", "own begin@450",
                          "own end@450", "other@490", "own begin@500", "own end@500"}));
}

TEST_F(Loop, OwnTickDueDuringItsHandlerIsDroppedIfTheHandlerDisablesIt) {
  toolkit::Timer own(main, "Own", 100, true);
  Times ticks;
  own.onTick = [&] {
    ticks.push_back(windows.nowMs());
    windows.block(350);
    windows.pumpOnce();
    own.setEnabled(false);
  };
  windows.start(main);
  windows.runUntil(2000);
  EXPECT_EQ(ticks, (Times{100}));
}

TEST_F(Loop, InputArrivingWhileBlockedIsHandledAfterwardsAllOfItInOrder) {
  auto hit = box(main, "hit", 0, 0, 50, 50);
  hit->onClick = [&] { note("click"); };
  main.onKey = [&](std::int16_t k) {
    note(std::string(1, static_cast<char>(k)));
    if (k == 'z') windows.block(1000);
  };
  backend.key(100, main, 'z');  // busy 100..1100
  backend.type(300, main, "abc");
  backend.click(500, main, 10, 10);
  backend.key(700, main, 'd');
  backend.key(1500, main, 'e');
  windows.start(main);
  windows.runUntil(2000);
  EXPECT_EQ(log,
            (Strings{"z@100", "a@1100", "b@1100", "c@1100", "click@1100", "d@1100", "e@1500"}));
}

TEST_F(Loop, PumpHandlesWhatIsPendingAndReturnsWithoutWaiting) {
  toolkit::Timer t(main, "T", 300, true);
  Times& ticks = recorded(t);
  Strings keys;
  main.onKey = [&](std::int16_t k) { keys.push_back(std::string(1, static_cast<char>(k))); };
  backend.key(250, main, 'a');
  backend.key(900, main, 'b');
  windows.start(main);
  windows.paintDirty();
  const int paintsBefore = backend.paints(main);

  windows.block(400);
  main.setBackColor({1, 2, 3});
  windows.pumpOnce();
  EXPECT_EQ(windows.nowMs(), 400);
  EXPECT_EQ(keys, Strings{"a"});
  EXPECT_EQ(ticks, Times{400});
  EXPECT_EQ(backend.paints(main), paintsBefore + 1);

  // Nothing pending: still returns at once (waiting would throw here).
  EXPECT_NO_THROW(windows.pumpOnce());
  EXPECT_EQ(windows.nowMs(), 400);
  EXPECT_EQ(keys, Strings{"a"});
}

TEST_F(Loop, ShowModalReturnsOnceTheWindowUnloadsAndStarvesTheOtherOfInput) {
  TestWindow dialog(windows, "dialog");
  toolkit::Timer closer(dialog, "Closer", 1000, true);  // from the dialog's load
  int closerTicks = 0;
  closer.onTick = [&] {
    ++closerTicks;
    windows.unload(dialog);
  };
  dialog.onKey = [&](std::int16_t k) { note(std::string("dialog ") + static_cast<char>(k)); };

  toolkit::Timer mainTimer(main, "MainTimer", 200, true);
  Times& mainTicks = recorded(mainTimer);
  auto hit = box(main, "hit", 0, 0, 50, 50);
  hit->onClick = [&] { note("main click"); };
  main.onKey = [&](std::int16_t k) {
    note(std::string("main ") + static_cast<char>(k));
    if (k == 'm') {
      windows.showModal(dialog);
      note("modal returned");
    }
  };

  backend.key(50, main, 'm');  // modal from 50 to 1050
  backend.key(300, main, 'x');
  backend.click(400, main, 10, 10);
  backend.key(500, dialog, 'd');
  backend.key(1200, main, 'y');
  backend.click(1300, main, 10, 10);
  windows.start(main);
  windows.runUntil(3000);

  // A key typed at the window beneath goes to the modal one, which may hold
  // no focus of its own; the click on the window beneath goes nowhere.
  EXPECT_EQ(log, (Strings{"main m@50", "dialog x@300", "dialog d@500", "modal returned@1050",
                          "main y@1200", "main click@1300"}));
  EXPECT_EQ(closerTicks, 1);
  EXPECT_FALSE(dialog.loaded());
  EXPECT_FALSE(backend.isShown(dialog));
  // The other window's timer went on during the modal time.
  EXPECT_EQ(Times(mainTicks.begin(), mainTicks.begin() + 5), (Times{200, 400, 600, 800, 1000}));
}

// A modal window is shown while it runs. Closed, it would leave a hole on the
// screen unless what lay beneath it is painted again.
TEST_F(Loop, ModalWindowIsShownWhileItRunsAndClosingItRepaintsTheWindowBeneath) {
  windows.start(main);
  windows.runUntil(10);
  TestWindow dialog(windows, "dialog");
  toolkit::Timer closer(dialog, "Closer", 100, true);
  bool shownDuring = false;
  int paintsBeforeClose = -1;
  closer.onTick = [&] {
    shownDuring = backend.isShown(dialog) && dialog.isVisible();
    paintsBeforeClose = backend.paints(main);
    windows.unload(dialog);
  };
  windows.showModal(dialog);
  EXPECT_TRUE(shownDuring);
  EXPECT_EQ(windows.nowMs(), 110);
  windows.pumpOnce();
  EXPECT_EQ(backend.paints(main), paintsBeforeClose + 1);
}

// A control and a timer may go before their window, which ticks and paints on.
TEST_F(Loop, AControlAndATimerThatGoBeforeTheirWindowAreForgotten) {
  auto gone = box(main, "gone", 0, 0, 10, 10);
  auto goneTimer = std::make_unique<toolkit::Timer>(main, "Gone", 100, true);
  toolkit::Timer stays(main, "Stays", 100, true);
  Times& ticks = recorded(stays);
  Strings painted;
  backend.onPaint = [&](const toolkit::Window& w) {
    for (const toolkit::Control* c : w.controls()) painted.push_back(c->name());
  };
  windows.start(main);
  windows.runUntil(150);
  gone.reset();
  goneTimer.reset();
  main.invalidate();
  painted = {"-"};
  windows.runUntil(350);
  EXPECT_EQ(painted, Strings{"-"}) << "painted with the box gone";
  EXPECT_EQ(backend.paints(main), 2);
  EXPECT_EQ(main.timers().size(), 1U);
  EXPECT_EQ(ticks, (Times{100, 200, 300}));
}

// A press and a release make a click only on the same visible box: pressing
// elsewhere and letting go over the stop sign must not end the game.
TEST_F(Loop, ClicksGoToTheTopmostVisibleBoxUnderThePointerAndArePressAndReleaseOnTheSameBox) {
  Strings clicks;
  std::vector<std::unique_ptr<toolkit::PictureBox>> boxes;
  auto add = [&](const std::string& name, int x, int y, int w, int h,
                 toolkit::Control* in = nullptr) {
    boxes.push_back(box(main, name, x, y, w, h, in));
    boxes.back()->onClick = [&clicks, name] { clicks.push_back(name); };
    return boxes.back().get();
  };
  add("lower", 0, 0, 100, 100);
  add("upper", 50, 50, 100, 100);
  toolkit::PictureBox* frame = add("frame", 200, 0, 100, 100);
  add("inner", 10, 10, 20, 20, frame);
  add("beneath", 0, 200, 50, 50);
  toolkit::PictureBox* hidden = add("hidden", 0, 200, 50, 50);
  hidden->setVisible(false);
  toolkit::PictureBox* closed = add("closed", 400, 0, 100, 100);
  add("inClosed", 0, 0, 100, 100, closed);
  closed->setVisible(false);

  const std::vector<std::pair<int, int>> points{
      {10, 10},    // lower
      {60, 60},    // both: upper is on top
      {149, 149},  // upper's last pixel
      {150, 150},  // just outside
      {215, 15},   // inner
      {205, 5},    // frame, outside inner
      {10, 210},   // the hidden box takes nothing: the one beneath gets it
      {410, 10},   // a visible box in a hidden container takes nothing
  };
  std::int64_t at = 10;
  for (auto [x, y] : points) backend.click(at += 10, main, x, y);
  backend.press(100, main, 10, 10);  // lower, then frame
  backend.release(110, main, 205, 5);
  backend.press(200, main, 300, 300);  // nowhere, then frame
  backend.release(210, main, 205, 5);
  backend.press(300, main, 205, 5);  // frame, then frame a little further
  backend.release(310, main, 295, 95);
  windows.start(main);
  windows.runUntil(500);
  EXPECT_EQ(clicks, (Strings{"lower", "upper", "upper", "inner", "frame", "beneath", "frame"}));

  // Moving the frame moves what it holds.
  clicks.clear();
  frame->setLeft(toolkit::toTwips(600));
  backend.click(600, main, 615, 15);
  backend.click(610, main, 215, 15);
  windows.runUntil(700);
  EXPECT_EQ(clicks, (Strings{"inner"}));
}

// While a modal window is up, a close request the desktop aims at the window
// beneath (it holds the focus) closes the modal window only.
TEST_F(Loop, CloseRequestUnloadsTheWindowUnlessItsUnloadCancelsOrClosesOnlyAModalWindow) {
  TestWindow dialog(windows, "dialog");
  main.onKey = [&](std::int16_t) {
    windows.showModal(dialog);
    note("modal returned");
  };
  int requests = 0;
  main.onUnload = [&](int& cancel) {
    if (++requests == 1) cancel = 1;
  };
  backend.key(50, main, 'm');
  backend.closeRequest(100, main);
  backend.closeRequest(200, main);
  backend.closeRequest(300, main);
  windows.start(main);

  EXPECT_FALSE(windows.runUntil(150));
  EXPECT_EQ(log, (Strings{"modal returned@100"}));
  EXPECT_EQ(dialog.unloads, 1);
  EXPECT_EQ(main.unloads, 0);

  EXPECT_FALSE(windows.runUntil(250));
  EXPECT_EQ(main.unloads, 1);
  EXPECT_TRUE(main.loaded());
  EXPECT_TRUE(backend.isShown(main));

  EXPECT_FALSE(windows.runUntil(350));
  EXPECT_EQ(main.unloads, 2);
  EXPECT_FALSE(main.loaded());
  EXPECT_FALSE(backend.isShown(main));
}

// Asked to quit (a signal), the program ends at that moment whatever it is
// doing: waiting in a handler, or inside a modal window.
TEST_F(Loop, AQuitEndsTheProgramEvenDuringAWaitOrAModalWindow) {
  for (bool modal : {false, true}) {
    testing_support::HeadlessBackend screen;
    toolkit::WindowSystem ws{screen};
    TestWindow game(ws, "game"), dialog(ws, "dialog");
    toolkit::Timer busy(dialog, "Busy", 100, true);
    busy.onTick = [&] { ws.block(60000); };
    game.onKey = [&](std::int16_t) { modal ? ws.showModal(dialog) : ws.block(60000); };
    game.onUnload = [&](int&) { ws.hide(game); };
    screen.key(100, game, 'k');
    screen.quit(1000);
    ws.start(game);
    EXPECT_TRUE(ws.runUntil(100000)) << modal;
    EXPECT_EQ(ws.nowMs(), 1000) << modal;
    EXPECT_EQ(ws.exitStatus(), 0);
    EXPECT_EQ(game.unloads, 1) << "the game's own unload runs";
  }
}

TEST_F(Loop, EndProgramFromAHandlerStopsEverythingAtOnce) {
  toolkit::Timer t(main, "T", 100, true);
  Times& ticks = recorded(t);
  main.onKey = [&](std::int16_t k) {
    note(std::string(1, static_cast<char>(k)));
    if (k == 'q') windows.endProgram(3);
  };
  main.onUnload = [&](int&) { note("unload"); };
  backend.type(50, main, "aqb");
  backend.key(500, main, 'c');
  windows.start(main);

  EXPECT_TRUE(windows.runUntil(10000));
  EXPECT_EQ(windows.nowMs(), 50);
  EXPECT_TRUE(windows.ended());
  EXPECT_EQ(windows.exitStatus(), 3);
  EXPECT_EQ(log, (Strings{"a@50", "q@50"}));
  // Running on after the end does nothing.
  EXPECT_TRUE(windows.runUntil(20000));
  EXPECT_EQ(windows.nowMs(), 50);
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(Loop, EndProgramInsideAModalWindowLeavesTheCallerToo) {
  TestWindow dialog(windows, "dialog");
  toolkit::Timer ender(dialog, "Ender", 300, true);
  ender.onTick = [&] { windows.endProgram(7); };
  toolkit::Timer opener(main, "Opener", 100, true);
  opener.onTick = [&] {
    note("open");
    windows.showModal(dialog);
    note("after modal");
  };
  windows.start(main);
  EXPECT_TRUE(windows.runUntil(5000));
  EXPECT_EQ(windows.exitStatus(), 7);
  EXPECT_EQ(windows.nowMs(), 400);
  EXPECT_EQ(log, Strings{"open@100"});
}

TEST_F(Loop, WaitingForEverThrowsInsteadOfHanging) {
  toolkit::Timer off(main, "Off", 100, false);
  EXPECT_THROW(windows.run(main), std::logic_error);

  testing_support::HeadlessBackend backend2;
  toolkit::WindowSystem windows2{backend2};
  TestWindow stuck(windows2, "stuck");
  EXPECT_THROW(windows2.showModal(stuck), std::logic_error);
}

TEST_F(Loop, RandomStaysInTheUnitIntervalAndSpreads) {
  windows.randomize();
  int low = 0, high = 0;
  for (int i = 0; i < 20000; ++i) {
    const double r = windows.random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    low += r < 0.1;
    high += r >= 0.9;
  }
  EXPECT_GT(low, 1500);
  EXPECT_GT(high, 1500);
}

TEST(UpperCase, ChangesAsciiLettersOnly) {
  EXPECT_EQ(toolkit::upperCase("abz AZ 09 !@[`{~"), "ABZ AZ 09 !@[`{~");
  EXPECT_EQ(toolkit::upperCase("\xC3\xA9\xC3\x9F"), "\xC3\xA9\xC3\x9F");  // é ß in UTF-8
  // Every byte: only a to z change, to A to Z.
  std::string bytes(256, '\0');
  for (int b = 0; b < 256; ++b) bytes[static_cast<std::size_t>(b)] = static_cast<char>(b);
  std::string expected = bytes;
  expected.replace(std::size_t{'a'}, 26, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(toolkit::upperCase(bytes), expected);
}

TEST_F(Loop, AutoSizedBoxTakesItsPictureSizePlusTheSunkenBorder) {
  auto pic = std::make_shared<media::Picture>();
  pic->width = 40;
  pic->height = 25;
  pic->pixels.resize(40 * 25);

  auto fitted = box(main, "fitted", 0, 0, 10, 10);
  fitted->setAutoSize(true);
  fitted->setPicture(pic);
  EXPECT_EQ(fitted->width(), toolkit::toTwips(40));
  EXPECT_EQ(fitted->height(), toolkit::toTwips(25));
  fitted->setBorder(toolkit::Border::Sunken);
  EXPECT_EQ(fitted->width(), toolkit::toTwips(44));
  EXPECT_EQ(fitted->height(), toolkit::toTwips(29));

  // Auto-size switched on after the picture was set fits at once.
  auto late = box(main, "late", 0, 0, 10, 10);
  late->setBorder(toolkit::Border::Sunken);
  late->setPicture(pic);
  EXPECT_EQ(late->width(), toolkit::toTwips(10));
  late->setAutoSize(true);
  EXPECT_EQ(late->width(), toolkit::toTwips(44));
  EXPECT_EQ(late->height(), toolkit::toTwips(29));

  auto fixed = box(main, "fixed", 0, 0, 10, 12);
  fixed->setBorder(toolkit::Border::Sunken);
  fixed->setPicture(pic);
  EXPECT_EQ(fixed->width(), toolkit::toTwips(10));
  EXPECT_EQ(fixed->height(), toolkit::toTwips(12));
}

}  // namespace
