// The opening: the talking frog, the arrangement of the screen, the directions
// around the first letter. All on the virtual clock.
#include <gtest/gtest.h>

#include "game/frm_main.h"
#include "tests/support/headless_env.h"

using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::What;
using Strings = std::vector<std::string>;

namespace {

constexpr std::int64_t kTalkEnd = 16 * 150;         // tick 16 of the talking frog
constexpr std::int64_t kArrange = kTalkEnd + 2000;  // Timer3's single tick
using testing_support::kOpeningEnd;

struct OpeningTest : ::testing::Test {
  GameFolder folder;
  HeadlessEnv env{folder.path()};
  game::FrmMain frm{env.services};

  // A croak longer than the talking and the pause: the directions must cut
  // it off, or its waits would push the opening's end later.
  void SetUp() override {
    testing_support::writeWav(folder.file("ribbit.wav"), 9000);
    env.windows.start(frm);
  }
};

TEST_F(OpeningTest, TheFrogTalksThenTheScreenIsArrangedThenTheDirectionsFrameTheFirstLetter) {
  // What the child sees while each part of the directions is spoken.
  std::vector<std::pair<std::string, std::string>> seen;
  env.onSound = [&](const std::string& line) {
    if (line == "Play (wait)")
      seen.push_back(
          {frm.MMControl1.fileName().substr(folder.path().size() + 1), frm.Label1.caption()});
  };
  env.windows.runUntil(kArrange - 1);
  Strings expected;
  for (int tick = 1; tick <= 15; ++tick) expected.push_back(tick % 2 ? "talk2.bmp" : "talk1.bmp");
  expected.push_back("talk0.bmp");
  const Strings reads = env.subjects(What::Read);
  EXPECT_EQ(Strings(reads.begin() + 10, reads.end()), expected);  // after start-up's ten
  for (int tick = 1; tick <= 16; ++tick)
    EXPECT_EQ(env.timeOf({What::Tick, "frmMain.Timer2"}, tick), tick * 150) << "tick " << tick;
  EXPECT_EQ(env.timeOf({What::Tick, "frmMain.Timer2"}, 17), -1);
  EXPECT_EQ(frm.Picture2.picture()->width, 25);

  // Timer3 starts only after the last talking frame, and waits its 2 s.
  EXPECT_EQ(env.only({{What::Disable, "frmMain.Timer2"},
                      {What::Pump},
                      {What::Read, "talk0.bmp"},
                      {What::Enable, "frmMain.Timer3"}}),
            (Strings{"read talk0.bmp", "pump", "pump", "disable frmMain.Timer2", "pump",
                     "read talk0.bmp", "enable frmMain.Timer3"}));
  EXPECT_EQ(env.timeOf({What::Enable, "frmMain.Timer3"}), kTalkEnd);
  EXPECT_EQ(env.timeOf({What::Tick, "frmMain.Timer3"}), -1);
  EXPECT_FALSE(frm.picStop.visible());
  EXPECT_FALSE(frm.lblCopyright.visible());
  EXPECT_EQ(frm.Label1.caption(), "");

  env.windows.runUntil(kArrange + 1);

  EXPECT_EQ(env.timeOf({What::Tick, "frmMain.Timer3"}), kArrange);
  EXPECT_EQ(frm.picStop.top(), frm.top());
  EXPECT_EQ(frm.picStop.left(), 1024 * 15 - 480);
  EXPECT_TRUE(frm.picStop.visible());
  EXPECT_EQ(frm.lblCopyright.top(), 768 * 15 - 270);
  EXPECT_TRUE(frm.lblCopyright.visible());
  EXPECT_EQ(frm.Picture2.left(), -30000);
  EXPECT_FALSE(frm.Picture2.picture());  // the talking frog's pixels let go
  EXPECT_EQ(frm.Picture1.left(), 1000);
  EXPECT_EQ(frm.Picture1.top(), 1290);
  EXPECT_EQ(frm.Picture2.top(), 1050);

  // Device type and sharing stay as start-up set them: the directions set neither.
  EXPECT_EQ(env.only({{What::Sound}, {What::Pump}}, kArrange),
            (Strings{"pump", "sound FileName=yumdir.wav", "sound Close", "sound Wait=on",
                     "sound Open (wait)", "sound Wait=on", "sound Play (wait)", "pump",
                     "sound FileName=yumdir2.wav", "sound Close", "sound Wait=on",
                     "sound Open (wait)", "sound Wait=on", "sound Play (wait)"}));
  EXPECT_EQ(frm.MMControl1.deviceType(), "WaveAudio");
  EXPECT_FALSE(frm.MMControl1.shareable());

  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"yumdir.wav", ""},
                                                                    {"yumdir2.wav", "A"}}));
  EXPECT_EQ(env.timeOf({What::Disable, "frmMain.Timer3"}), kOpeningEnd);  // the croak cut off
  EXPECT_FALSE(frm.Timer2.enabled());
  EXPECT_FALSE(frm.Timer3.enabled());

  // The opening never comes again. Without an early key the first letter is
  // an A, in the sans-serif font, and no score shows yet.
  env.windows.runUntil(60000);
  EXPECT_EQ(env.count({What::Tick, "frmMain.Timer3"}), 1u);
  EXPECT_TRUE(env.backend.boxes().empty());
  EXPECT_EQ(frm.Label1.caption(), "A");
  EXPECT_EQ(frm.CurrentLetter, "A");
  EXPECT_EQ(frm.Label1.font().name, "Century Gothic");
  EXPECT_FALSE(frm.lblScore.visible());

  // The desktop gives the window another size: the corners follow it.
  env.backend.resizeScreen(60001, frm, {800, 600});
  env.windows.runUntil(60002);
  EXPECT_EQ(frm.picStop.left(), 800 * 15 - 480);
  EXPECT_EQ(frm.lblCopyright.top(), 600 * 15 - 270);
}

TEST_F(OpeningTest, AMissingTalkingFrameIsReportedAndTheTalkingStillEndsOnTime) {
  folder.remove("talk1.bmp");
  env.windows.runUntil(kOpeningEnd + 1);
  // talk1 is tried on tick 2 and, the toggle never flipping back, on every tick after.
  EXPECT_EQ(env.backend.boxes(), Strings(14, "ERROR:  53|Timer2_Timer: \nFile not found"));
  EXPECT_EQ(env.timeOf({What::Enable, "frmMain.Timer3"}), kTalkEnd);
  EXPECT_EQ(frm.Label1.caption(), "A");
  EXPECT_TRUE(frm.picStop.visible());
}

TEST_F(OpeningTest, AMissingRestingFrameStopsTheOpeningButTheLetterIsStillAccepted) {
  folder.remove("talk0.bmp");
  env.backend.type(20000, frm, "a");
  env.windows.runUntil(30000);
  EXPECT_EQ(env.backend.boxes(), Strings{"ERROR:  53|Timer2_Timer: \nFile not found"});
  EXPECT_FALSE(frm.Timer2.enabled());
  EXPECT_FALSE(frm.Timer3.enabled());
  EXPECT_EQ(env.timeOf({What::Tick, "frmMain.Timer3"}), -1);
  EXPECT_FALSE(frm.picStop.visible());
  EXPECT_EQ(frm.LettersEaten, 1);
  EXPECT_NE(frm.CurrentLetter, "A");
}

// The child may type "a" before the letter is shown. The frog eats the unseen
// letter; when the directions go on, the screen must show the letter that is
// now wanted, not "A".
TEST_F(OpeningTest, AnEarlyAIsEatenAndTheScreenThenShowsTheLetterNowWanted) {
  env.backend.type(1000, frm, "a");
  env.windows.runUntil(kTalkEnd);
  EXPECT_EQ(frm.LettersEaten, 1);
  EXPECT_EQ(frm.lblScore.caption(), "You have yumbled 1 letters!");
  const std::string wanted = frm.CurrentLetter;
  ASSERT_NE(wanted, "A");
  EXPECT_EQ(frm.Picture1.left(), -20000);  // eaten out of sight

  env.windows.runUntil(kOpeningEnd + 5000);
  EXPECT_EQ(frm.Label1.caption(), wanted);
  EXPECT_EQ(frm.CurrentLetter, wanted);
  EXPECT_TRUE(env.backend.boxes().empty());
}

// A signal while the directions are spoken ends the game at once, through
// its own unload (the window hidden first), not after the sentence.
TEST_F(OpeningTest, AQuitDuringTheDirectionsEndsTheGameAtOnce) {
  env.backend.quit(kArrange + 500);
  EXPECT_TRUE(env.windows.runUntil(kOpeningEnd + 1000));
  EXPECT_EQ(env.windows.nowMs(), kArrange + 500);
  EXPECT_EQ(env.windows.exitStatus(), 0);
  EXPECT_EQ(env.only({{What::Hide}, {What::End}}), (Strings{"hide frmMain", "end"}));
}

}  // namespace
