// The error report: its title and text, and the guard around a handler's steps.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "app/toolkit/error_report.h"
#include "app/toolkit/window_system.h"
#include "tests/support/headless_backend.h"

using Strings = std::vector<std::string>;

namespace {

TEST(ErrorTitle, NumberFollowsWithALeadingSpaceUnlessNegative) {
  EXPECT_EQ(toolkit::errorTitle(53), "ERROR:  53");
  EXPECT_EQ(toolkit::errorTitle(481), "ERROR:  481");
  EXPECT_EQ(toolkit::errorTitle(0), "ERROR:  0");
  EXPECT_EQ(toolkit::errorTitle(-5), "ERROR: -5");
  EXPECT_EQ(toolkit::errorTitle(-2147483647 - 1), "ERROR: -2147483648");
}

TEST(ErrorText, LabelThenOneLineFeedThenTheDescription) {
  EXPECT_EQ(toolkit::errorText("Form_Load: ", "File not found"), "Form_Load: \nFile not found");
  EXPECT_EQ(toolkit::errorText("", "Overflow"), "\nOverflow");
  EXPECT_EQ(toolkit::errorText("Timer1_Timer: ", ""), "Timer1_Timer: \n");
}

struct Guard : ::testing::Test {
  testing_support::HeadlessBackend backend;
  toolkit::WindowSystem windows{backend};
  Strings steps;
};

TEST_F(Guard, FailureStopsTheStepsAndShowsOneMessage) {
  const bool ran = toolkit::guarded(windows, "Timer2_Timer: ", [&] {
    steps.push_back("one");
    steps.push_back("two");
    throw base::fileNotFound();
    steps.push_back("three");
  });
  EXPECT_FALSE(ran);
  EXPECT_EQ(steps, (Strings{"one", "two"}));
  ASSERT_EQ(backend.messageBoxes().size(), 1u);
  EXPECT_EQ(backend.messageBoxes()[0].title, "ERROR:  53");
  EXPECT_EQ(backend.messageBoxes()[0].text, "Timer2_Timer: \nFile not found");
  EXPECT_FALSE(windows.ended());

  // The program goes on: the next handler runs as usual.
  EXPECT_TRUE(toolkit::guarded(windows, "Yumble: ", [&] { steps.push_back("next"); }));
  EXPECT_EQ(steps.back(), "next");
  EXPECT_EQ(backend.messageBoxes().size(), 1u);
}

TEST_F(Guard, OutOfMemoryIsReportedAsSeven) {
  EXPECT_FALSE(toolkit::guarded(windows, "Form_Load: ", [] { throw std::bad_alloc(); }));
  ASSERT_EQ(backend.messageBoxes().size(), 1u);
  EXPECT_EQ(backend.messageBoxes()[0].title, "ERROR:  7");
  EXPECT_EQ(backend.messageBoxes()[0].text, "Form_Load: \nOut of memory");
}

TEST_F(Guard, ProgramEndPassesThroughUntouched) {
  try {
    toolkit::guarded(windows, "picStop_Click: ", [&] {
      steps.push_back("before");
      windows.endProgram(4);
    });
    ADD_FAILURE() << "the end of the program was swallowed";
  } catch (const toolkit::ProgramEnded& e) {
    EXPECT_EQ(e.status, 4);
  }
  EXPECT_EQ(steps, Strings{"before"});
  EXPECT_TRUE(backend.messageBoxes().empty());
  EXPECT_TRUE(windows.ended());
}

// A handler that fails at every tick reports each time; its timer goes on.
TEST_F(Guard, FailingTimerHandlerKeepsTicking) {
  class Win : public toolkit::Window {
   public:
    explicit Win(toolkit::WindowSystem& ws) : toolkit::Window(ws, "win", "", 3000, 3000) {}
  } win(windows);
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
  ASSERT_EQ(backend.messageBoxes().size(), 3u);
  EXPECT_EQ(backend.messageBoxes()[2].title, "ERROR:  6");
  EXPECT_EQ(backend.messageBoxes()[2].text, "Timer1_Timer: \nOverflow");
}

}  // namespace
