// The error report: its title and text, and the guard around a handler's steps.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "app/toolkit/error_report.h"
#include "app/toolkit/message_box.h"
#include "app/toolkit/window_system.h"
#include "tests/support/headless_backend.h"

using Strings = std::vector<std::string>;

namespace {

TEST(ErrorReport, TheTitlesNumberHasALeadingSpaceUnlessNegativeTheTextOneLineFeed) {
  // (53, 481, 6 and 7 and the texts with a label: the boxes the tests below and the game's show.)
  for (auto [number, title] :
       {std::pair{0, "ERROR:  0"}, {-5, "ERROR: -5"}, {-2147483647 - 1, "ERROR: -2147483648"}})
    EXPECT_EQ(toolkit::errorTitle(number), title);
  // The text: the label, then one line feed, then the description.
  EXPECT_EQ(toolkit::errorText("", "Overflow"), "\nOverflow");
  EXPECT_EQ(toolkit::errorText("Timer1_Timer: ", ""), "Timer1_Timer: \n");
}

struct Guard : ::testing::Test {
  testing_support::HeadlessBackend backend;
  toolkit::WindowSystem windows{backend};
  Strings steps;
};

TEST_F(Guard, FailureStopsTheStepsAndShowsOneMessageOutOfMemoryAsSevenTheProgramEndPasses) {
  const bool ran = toolkit::guarded(windows, "Timer2_Timer: ", [&] {
    steps.push_back("one");
    steps.push_back("two");
    throw base::fileNotFound();
    steps.push_back("three");
  });
  EXPECT_FALSE(ran);
  EXPECT_EQ(steps, (Strings{"one", "two"}));
  EXPECT_EQ(backend.boxes(), Strings{"ERROR:  53|Timer2_Timer: \nFile not found"});
  EXPECT_FALSE(windows.ended());

  // The program goes on: the next handler runs as usual.
  EXPECT_TRUE(toolkit::guarded(windows, "Yumble: ", [&] { steps.push_back("next"); }));
  EXPECT_EQ(steps.back(), "next");
  EXPECT_EQ(backend.boxes().size(), 1u);

  // Out of memory is reported as 7.
  EXPECT_FALSE(toolkit::guarded(windows, "Form_Load: ", [] { throw std::bad_alloc(); }));
  EXPECT_EQ(backend.boxes(), (Strings{"ERROR:  53|Timer2_Timer: \nFile not found",
                                      "ERROR:  7|Form_Load: \nOut of memory"}));

  // The program's end passes through untouched, with no box.
  try {
    toolkit::guarded(windows, "picStop_Click: ", [&] {
      steps.push_back("before");
      windows.endProgram(4);
    });
    ADD_FAILURE() << "the end of the program was swallowed";
  } catch (const toolkit::ProgramEnded& e) {
    EXPECT_EQ(e.status, 4);
  }
  EXPECT_EQ(steps.back(), "before");
  EXPECT_EQ(backend.boxes().size(), 2u);
  EXPECT_TRUE(windows.ended());
}

// A handler that fails at every tick reports each time; its timer goes on.
TEST_F(Guard, FailingTimerHandlerKeepsTicking) {
  toolkit::Window win(windows, "win", "", 3000, 3000);
  toolkit::Timer t(win, "Timer1", 100, true);
  int ticks = 0;
  t.onTick = [&] {
    toolkit::guarded(windows, "Timer1_Timer: ", [&] {
      ++ticks;
      throw base::Failure(base::kOverflow, "Overflow");
    });
  };
  windows.start(win);
  EXPECT_FALSE(windows.runUntil(350));
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(backend.boxes(), Strings(3, "ERROR:  6|Timer1_Timer: \nOverflow"));
}

// The box itself, answered by hand: only Return, Space, Escape or a click on
// OK close it, and it stands in the middle of the window it speaks for.
TEST(MessageBox, ClosesOnReturnSpaceEscapeOrOkIsCentredOnItsWindowAndHasItsIcon) {
  for (int answer : {13, 32, 27, 0}) {
    testing_support::HeadlessBackend backend;
    backend.answerMessageBoxes = false;
    toolkit::WindowSystem windows{backend};
    toolkit::Window game(windows, "game", "Game", 9000, 6000);
    game.setBounds(1500, 3000, 9000, 6000);
    toolkit::Timer failing(game, "Failing", 100, true);
    failing.onTick = [&] {
      failing.setEnabled(false);
      windows.messageBox("ERROR:  53", "Form_Load: \nFile not found");
    };
    // Keys typed at the game window reach the box above it.
    backend.type(300, game, "aA\t");
    if (answer) backend.key(400, game, static_cast<std::int16_t>(answer));
    const toolkit::MessageBox* box = nullptr;
    backend.onPaint = [&](const toolkit::Window& w) {
      auto* b = dynamic_cast<const toolkit::MessageBox*>(&w);
      if (!b || box) return;
      box = b;
      EXPECT_EQ(b->caption(), "ERROR:  53");
      EXPECT_EQ(b->text(), "Form_Load: \nFile not found");
      EXPECT_DOUBLE_EQ(b->left() + b->width() / 2, 1500 + 4500);
      EXPECT_DOUBLE_EQ(b->top() + b->height() / 2, 3000 + 3000);
      if (auto* ok = dynamic_cast<toolkit::PictureBox*>(b->find("ok")); ok && !answer)
        backend.click(400, const_cast<toolkit::MessageBox&>(*b),
                      toolkit::toPixels(ok->windowLeft()) + 5,
                      toolkit::toPixels(ok->windowTop()) + 5);
    };
    windows.start(game);
    windows.runUntil(1000);
    ASSERT_TRUE(box);
    EXPECT_FALSE(windows.ended());
    std::int64_t closedAt = -1;
    for (const auto& e : backend.record())
      if (e.text() == "unload MessageBox") closedAt = e.t;
    EXPECT_EQ(closedAt, 400) << answer;
  }
  // Its critical-stop icon: a red disc with a white cross.
  const auto icon = toolkit::criticalStopIcon({240, 240, 240});
  ASSERT_EQ(icon->width, 32);
  ASSERT_EQ(icon->height, 32);
  EXPECT_EQ(icon->at(0, 0), (base::Rgb{240, 240, 240}));    // the corner is background
  EXPECT_EQ(icon->at(16, 16), (base::Rgb{255, 255, 255}));  // the cross at the centre
  EXPECT_EQ(icon->at(16, 6), (base::Rgb{204, 0, 0}));       // red between its arms
}

}  // namespace
