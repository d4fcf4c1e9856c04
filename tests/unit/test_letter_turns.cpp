// Letter turns: the key, the eating animation, the score, the next letter, and
// the reward every tenth letter. All on the virtual clock.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <set>

#include "game/frm_main.h"
#include "tests/support/headless_env.h"

using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::What;
using Strings = std::vector<std::string>;

namespace {

using testing_support::kOpeningEnd;

Strings operator+(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct TurnTest : ::testing::Test {
  GameFolder folder;
  HeadlessEnv env{folder.path()};
  game::FrmMain frm{env.services};

  void SetUp() override {
    env.windows.start(frm);
    env.windows.runUntil(kOpeningEnd + 100);
    ASSERT_EQ(frm.Label1.caption(), "A");
  }

  std::int64_t now() { return env.windows.nowMs(); }

  // What the record shows as the game's channel opens a file afresh.
  static Strings opens(const std::string& file) {
    Strings lines{"sound Close",         "sound Wait=on",
                  "sound Shareable=off", "sound DeviceType=WaveAudio",
                  "sound FileName=",     "sound Open (wait)"};
    lines[4] += file;
    return lines;
  }
  // The frames read, first to last.
  static Strings reads(int first, int last) {
    Strings out;
    for (int f = first; f <= last; ++f) out.push_back("read f" + std::to_string(f) + ".bmp");
    return out;
  }

  // The next letters drawn, in order, then whatever the generator gives.
  void nextLetters(const std::string& letters) {
    env.windows.setRandomSource([letters, i = std::size_t{0}]() mutable {
      if (i >= letters.size()) return 0.0;
      return (letters[i++] - 'A' + 0.5) / 26;
    });
  }
};

TEST_F(TurnTest, AWholeTurnInOrderAndALaterOneFromTheSecondFrame) {
  nextLetters("QZ");
  std::map<std::string, std::string> letterAtFrame;
  env.pictures.onRead = [&](const std::string& f) { letterAtFrame[f] = frm.Label1.caption(); };
  const std::int64_t t0 = now() + 10;
  typeAndFinish(env, frm, t0, "a");

  EXPECT_EQ(
      env.only({{What::Sound},
                {What::Read},
                {What::Enable, "frmMain.Timer1"},
                {What::Disable, "frmMain.Timer1"}},
               t0),
      (Strings{"sound Notify=off"} + opens("slurp2.wav") +
       Strings{"sound play", "enable frmMain.Timer1"} + reads(1, 7) + opens("Q.wav") +
       Strings{"sound Wait=on", "sound play (wait)", "disable frmMain.Timer1", "sound Close"}));
  // One frame per 50 ms tick; the first animation ends on its eighth tick.
  for (int f = 1; f <= 7; ++f)
    EXPECT_EQ(env.timeOf({What::Read, "f" + std::to_string(f) + ".bmp"}, 2), t0 + 50 * f) << f;
  EXPECT_EQ(env.timeOf({What::Disable, "frmMain.Timer1"}), t0 + 8 * 50 + GameFolder::kLetterMs);
  // The letter vanishes at the fourth frame, and the next one shows while spoken.
  EXPECT_EQ(letterAtFrame["f3.bmp"], "A");
  EXPECT_EQ(letterAtFrame["f4.bmp"], "");
  EXPECT_EQ(frm.Label1.caption(), "Q");
  EXPECT_EQ(frm.CurrentLetter, "Q");
  EXPECT_TRUE(frm.lblScore.visible());
  EXPECT_EQ(frm.lblScore.caption(), "You have yumbled 1 letters!");
  EXPECT_EQ(frm.FrameNo, 1);
  EXPECT_FALSE(frm.Eating);
  EXPECT_FALSE(frm.MMControl1.isOpen());
  EXPECT_TRUE(env.backend.boxes().empty());

  const std::int64_t t1 = now() + 10;
  typeAndFinish(env, frm, t1, "q");
  EXPECT_EQ(env.only({{What::Read}}, t1), reads(2, 7));
  EXPECT_EQ(env.timeOf({What::Read, "f2.bmp"}, 3), t1 + 50);
  EXPECT_EQ(env.timeOf({What::Disable, "frmMain.Timer1"}, 2), t1 + 7 * 50 + GameFolder::kLetterMs);
  EXPECT_EQ(frm.lblScore.caption(), "You have yumbled 2 letters!");
}

TEST_F(TurnTest, EitherCaseMatchesAndNothingElseDoes) {
  nextLetters("QRS");
  // Wrong keys first: digits, punctuation, control keys, accented and other codes.
  for (int key : {int{'1'}, int{'@'}, int{' '}, 13, 8, 27, 9, 0xC1, 0xE1, 0x41 + 256, -191})
    env.backend.key(now() + 5, frm, static_cast<std::int16_t>(key));
  env.windows.runUntil(now() + 100);
  EXPECT_EQ(frm.LettersEaten, 0);
  EXPECT_FALSE(frm.Eating);

  typeAndFinish(env, frm, now() + 10, "A");
  typeAndFinish(env, frm, now() + 10, "q");
  typeAndFinish(env, frm, now() + 10, "R");
  EXPECT_EQ(frm.LettersEaten, 3);
  EXPECT_EQ(frm.lblScore.caption(), "You have yumbled 3 letters!");
}

TEST_F(TurnTest, KeysWhileEatingAreIgnoredAndKeysDuringTheSpokenLetterCountAfterIt) {
  nextLetters("QW");
  const std::int64_t t0 = now() + 10;
  // A second "a" while eating, and a held key's repeats: none of them count.
  env.backend.type(t0, frm, "aa");
  env.backend.type(t0 + 100, frm, "aaqq");
  // Typed while "Q" is being spoken (the thread is held): handled afterwards.
  env.backend.type(t0 + 8 * 50 + 100, frm, "aq");
  env.windows.runUntil(t0 + 8 * 50 + GameFolder::kLetterMs + 1);
  EXPECT_EQ(frm.LettersEaten, 2);  // "a", then the "q" typed during the name
  EXPECT_TRUE(frm.Eating);
  EXPECT_EQ(env.timeOf({What::Enable, "frmMain.Timer1"}, 2), t0 + 8 * 50 + GameFolder::kLetterMs);
}

TEST_F(TurnTest, NoLetterTwiceInARowEveryLetterComesAndEveryTenthARewardFollows) {
  std::set<std::string> seen;
  std::vector<int> rewardsAt;
  std::string previous = frm.CurrentLetter;
  for (int turn = 0; turn < 151; ++turn) {
    const auto rewards = env.count({What::Modal, "frmAllRight"});
    eatShownLetter(env, frm);
    if (env.count({What::Modal, "frmAllRight"}) > rewards) rewardsAt.push_back(frm.LettersEaten);
    ASSERT_NE(frm.CurrentLetter, previous) << "turn " << turn;
    ASSERT_EQ(frm.Label1.caption(), frm.CurrentLetter);
    previous = frm.CurrentLetter;
    seen.insert(previous);
  }
  EXPECT_EQ(seen.size(), 26u);
  EXPECT_EQ(rewardsAt,
            (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150}));
  EXPECT_EQ(env.count({What::ModalEnd, "frmAllRight"}), 15u);
  EXPECT_EQ(frm.LettersEaten, 151);
  EXPECT_EQ(frm.lblScore.caption(), "You have yumbled 151 letters!");
  EXPECT_TRUE(env.backend.boxes().empty());
}

// The letters come from a generator seeded by the clock at start-up: a game
// started at the same time plays the same letters, one started later others.
TEST(Letters, GamesStartedAtDifferentTimesPlayDifferentLetters) {
  const auto letters = [](std::int64_t startMs) {
    GameFolder folder;
    HeadlessEnv env{folder.path()};
    game::FrmMain frm{env.services};
    env.windows.block(startMs);
    env.windows.start(frm);
    env.windows.runUntil(startMs + kOpeningEnd + 100);
    std::string played;
    for (int i = 0; i < 8; ++i) {
      testing_support::eatShownLetter(env, frm);
      played += frm.CurrentLetter;
    }
    return played;
  };
  EXPECT_EQ(letters(1234), letters(1234));
  EXPECT_NE(letters(1234), letters(1235));
}

TEST_F(TurnTest, AGeneratorThatRepeatsItselfCannotRepeatTheLetterAndTheIIsShownInASerifFont) {
  nextLetters(std::string(79, 'A') + "KIJI");
  // The generator's repeats skipped, the letters come as K, I, J, I.
  for (auto [letter, font] : {std::pair{"K", "Century Gothic"},
                              {"I", "Century Schoolbook"},
                              {"J", "Century Gothic"},
                              {"I", "Century Schoolbook"}}) {
    eatShownLetter(env, frm);
    EXPECT_EQ(frm.CurrentLetter, letter);
    EXPECT_EQ(frm.Label1.caption(), letter);
    EXPECT_EQ(frm.Label1.font().name, font) << letter;
    EXPECT_EQ(frm.Label1.font().points, 84.75);
    EXPECT_EQ(frm.Label1.font().weight, 600);
  }
}

// A close request that comes while the reward's sounds hold the thread was
// meant for the reward: it must not end the game once the reward has gone.
TEST_F(TurnTest, TheMilestoneCroaksShowsTheRewardAndThenTheNextLetterAndTheGameGoesOn) {
  frm.LettersEaten = 9;
  const std::int64_t t0 = now() + 10;
  env.backend.closeRequest(t0 + 8 * 50 + 3500 + 1000, frm);  // during the applause
  typeAndFinish(env, frm, t0, "a");
  const std::int64_t end = t0 + 8 * 50;
  // The eighth tick ends the animation; no other tick of the game's comes meanwhile.
  EXPECT_EQ(
      env.only({{What::Sound},
                {What::Pump},
                {What::Modal},
                {What::ModalEnd},
                {What::Show},
                {What::Read},
                {What::Tick, "frmMain.Timer1"},
                {What::Tick, "frmMain.Timer2"},
                {What::Tick, "frmMain.Timer3"}},
               end),
      (Strings{"tick frmMain.Timer1", "sound Notify=off"} + opens("ribbit2.wav") +
       Strings{"sound Play", "pump", "modal frmAllRight", "show frmAllRight",
               // the reward's own channel
               "sound Notify=off", "sound Wait=on", "sound Shareable=off",
               "sound DeviceType=WaveAudio", "sound FileName=applp.wav", "sound Open (wait)",
               "sound Wait=on", "sound Play (wait)", "sound close", "sound FileName=goodjob.wav",
               "sound Wait=on", "sound Open (wait)", "sound Wait=on", "sound Play (wait)",
               "modal end frmAllRight", "show frmMain"} +
       opens(frm.CurrentLetter + ".wav") +  // the next letter
       Strings{"sound Wait=on", "sound play (wait)", "sound Close"}));
  // The reward shows for its 3.5 s of colours, then the applause and the praise.
  const std::int64_t shown = env.timeOf({What::Modal, "frmAllRight"});
  EXPECT_EQ(shown, end);
  EXPECT_EQ(env.timeOf({What::ModalEnd, "frmAllRight"}),
            shown + 3500 + GameFolder::kApplauseMs + GameFolder::kPraiseMs);
  // The eating timer's ticks meanwhile change nothing; the next turn starts at f2.
  EXPECT_EQ(frm.FrameNo, 1);
  EXPECT_EQ(frm.LettersEaten, 10);
  EXPECT_FALSE(frm.Eating);
  EXPECT_FALSE(frm.Timer1.enabled());
  EXPECT_TRUE(env.backend.isShown(frm));
  env.windows.runUntil(t0 + 20000);
  EXPECT_FALSE(env.windows.ended());
  EXPECT_EQ(env.timeOf({What::Unload, "frmMain"}), -1);
}

// Keys and clicks during the reward (shown at t0 + 400) are not taken by the
// game. Alt+F4 during the reward reaches the game window, which holds the
// focus; it closes the reward only, and the game goes on with the next letter.
TEST_F(TurnTest, KeysAndClicksDuringTheRewardAreNotTakenAndACloseRequestClosesOnlyTheReward) {
  frm.LettersEaten = 9;
  nextLetters("B");
  const std::int64_t t0 = now() + 10;
  env.backend.type(t0, frm, "a");
  // During the reward: the next letter, and a click on the stop sign.
  env.backend.type(t0 + 600, frm, "bBaA");
  env.backend.click(t0 + 800, frm, 1024 - 10, 10);
  env.backend.closeRequest(t0 + 1000, frm);
  env.windows.runUntil(t0 + 20000);
  EXPECT_FALSE(env.windows.ended());
  EXPECT_EQ(frm.LettersEaten, 10);
  EXPECT_EQ(env.timeOf({What::Modal, "frmAllRight"}), t0 + 400);
  EXPECT_EQ(env.timeOf({What::Unload, "frmAllRight"}), t0 + 1000);
  EXPECT_EQ(env.timeOf({What::Unload, "frmMain"}), -1);
  EXPECT_EQ(frm.CurrentLetter, "B");
  EXPECT_EQ(frm.Label1.caption(), "B");
}

TEST_F(TurnTest, AMissingFrameIsReportedAMissingLetterNameOnlySilencesItAndTheTurnEndsOnTime) {
  nextLetters("QZ");
  folder.remove("f5.bmp");
  folder.remove("Q.wav");
  const std::int64_t t0 = now() + 10;
  typeAndFinish(env, frm, t0, "a");
  EXPECT_EQ(env.backend.boxes(), Strings{"ERROR:  53|Timer1_Timer: \nFile not found"});
  EXPECT_EQ(env.timeOf({What::Read, "f6.bmp"}, 2), t0 + 6 * 50);
  EXPECT_EQ(env.timeOf({What::Disable, "frmMain.Timer1"}), t0 + 8 * 50);
  EXPECT_EQ(frm.CurrentLetter, "Q");
  EXPECT_EQ(frm.Label1.caption(), "Q");
  typeAndFinish(env, frm, now() + 10, "q");
  EXPECT_EQ(frm.LettersEaten, 2);
}

TEST_F(TurnTest, TheLetterAndFrameCountsStopAtTheirLimitsWithAnOverflowReport) {
  frm.LettersEaten = std::numeric_limits<std::int32_t>::max();
  env.backend.type(now() + 10, frm, "a");
  env.windows.runUntil(now() + 2000);
  EXPECT_EQ(env.backend.boxes(), Strings{"ERROR:  6|Yumble: \nOverflow"});
  EXPECT_EQ(frm.LettersEaten, std::numeric_limits<std::int32_t>::max());
  EXPECT_FALSE(frm.Timer1.enabled());

  frm.FrameNo = std::numeric_limits<std::int16_t>::max();
  frm.Timer1.setEnabled(true);
  env.windows.runUntil(now() + 60);
  EXPECT_EQ(env.backend.boxes(),
            (Strings{"ERROR:  6|Yumble: \nOverflow", "ERROR:  6|Timer1_Timer: \nOverflow"}));
  EXPECT_EQ(frm.FrameNo, std::numeric_limits<std::int16_t>::max());
}

}  // namespace
