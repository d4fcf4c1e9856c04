// A long game in virtual time: a hundred thousand letters and the ten thousand
// rewards they bring, with the memory in use the same at the end as near the start.
#include <malloc.h>

#include <gtest/gtest.h>

#include "game/frm_main.h"
#include "tests/support/headless_env.h"

using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::What;

namespace {

std::size_t bytesInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

TEST(Soak, AHundredThousandLettersAndTenThousandRewardsKeepMemoryFlat) {
  constexpr int kLetters = 100000;
  GameFolder folder;
  HeadlessEnv env{folder.path()};
  game::FrmMain frm{env.services};
  env.windows.start(frm);
  env.windows.runUntil(20000);
  ASSERT_EQ(frm.Label1.caption(), "A");

  int rewards = 0;
  std::size_t afterFirstTenth = 0;
  for (int i = 1; i <= kLetters; ++i) {
    testing_support::eatShownLetter(env, frm);
    if (i % 10 == 0) {
      for (const auto& e : env.backend.record())
        rewards += e.what == What::Load && e.subject == "frmAllRight";
      env.backend.clearRecord();
    }
    if (i == kLetters / 10) afterFirstTenth = bytesInUse();
  }
  EXPECT_EQ(frm.LettersEaten, kLetters);
  EXPECT_EQ(rewards, kLetters / 10);
  const std::size_t atEnd = bytesInUse();
  EXPECT_LE(atEnd, afterFirstTenth + 64 * 1024) << "from " << afterFirstTenth << " to " << atEnd;
}

}  // namespace
