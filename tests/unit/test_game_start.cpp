// Start-up of the game window, the stop sign and shutdown, on the virtual clock.
#include <gtest/gtest.h>

#include <fstream>

#include "game/frm_main.h"
#include "media/picture_scale.h"
#include "tests/support/headless_env.h"

using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::What;
using Strings = std::vector<std::string>;

namespace {

// The frames in the order the window's load reads them.
const Strings kReadOrder{"f2.bmp", "f3.bmp", "f4.bmp",    "f5.bmp",    "f6.bmp",
                         "f7.bmp", "f1.bmp", "talk1.bmp", "talk2.bmp", "talk0.bmp"};

struct StartTest : ::testing::Test {
  GameFolder folder;
  HeadlessEnv env{folder.path()};
  game::FrmMain frm{env.services};

  void start() { env.windows.start(frm); }
};

TEST_F(StartTest, FormLoadReadsEveryFrameOnceEndingAtRestCroaksAndCoversTheScreen) {
  start();
  EXPECT_EQ(env.subjects(What::Read), kReadOrder);
  // Picture1 shows f1 (40 x 25 here) and took its size; Picture2 keeps its own.
  EXPECT_EQ(frm.Picture1.width(), 40 * 15);
  EXPECT_EQ(frm.Picture1.height(), 25 * 15);
  EXPECT_EQ(frm.Picture2.picture()->width, 25);
  EXPECT_EQ(frm.Picture2.width(), 3780);

  EXPECT_EQ(env.only({{What::Sound}, {What::Enable}, {What::Show}, {What::Pump}}),
            (Strings{"sound Notify=off", "sound Wait=on", "sound Shareable=off",
                     "sound DeviceType=WaveAudio", "sound FileName=ribbit.wav", "sound Open (wait)",
                     "enable frmMain.Timer2", "show frmMain", "pump", "sound play", "pump",
                     "show frmMain"}));
  EXPECT_EQ(frm.CurrentLetter, "A");
  EXPECT_FALSE(frm.Eating);
  EXPECT_EQ(frm.Label1.caption(), "");
  EXPECT_TRUE(frm.Timer2.enabled());
  EXPECT_EQ(frm.Timer2.dueAt(), 150);
  EXPECT_TRUE(env.backend.isShown(frm));
  EXPECT_TRUE(env.backend.boxes().empty());
  // The window covers the screen and keeps its design.
  EXPECT_EQ(frm.left(), 0);
  EXPECT_EQ(frm.top(), 0);
  EXPECT_EQ(frm.width(), 1024 * 15);
  EXPECT_EQ(frm.height(), 768 * 15);
  EXPECT_EQ(frm.Label2.caption(), "YUMBLE");
  EXPECT_EQ(frm.Label2.left(), 60);
  EXPECT_EQ(frm.Picture1.left(), -20000);
  EXPECT_FALSE(frm.picStop.visible());
  EXPECT_FALSE(frm.lblCopyright.visible());
  EXPECT_FALSE(frm.lblScore.visible());
  EXPECT_EQ(frm.picStop.width(), 480);
  EXPECT_EQ(frm.tabOrder().front(), "Picture1");
  EXPECT_TRUE(frm.keyPreview());
}

// A missing frame stops start-up at that load: no letter, no opening, no croak,
// yet the window is shown covering the screen, and only a close request ends it.
TEST(StartFailure, MissingFrameStopsStartUpAtThatLoad) {
  const Strings& order = kReadOrder;
  for (std::size_t i = 0; i < order.size(); ++i) {
    SCOPED_TRACE(order[i]);
    GameFolder folder;
    folder.remove(order[i]);
    HeadlessEnv env{folder.path()};
    game::FrmMain frm{env.services};
    env.backend.type(5000, frm, "aA");
    env.backend.closeRequest(20000, frm);
    env.windows.start(frm);
    EXPECT_FALSE(env.windows.runUntil(19999));

    EXPECT_EQ(env.subjects(What::Read), Strings(order.begin(), order.begin() + i + 1));
    EXPECT_EQ(env.backend.boxes(), Strings{"ERROR:  53|Form_Load: \nFile not found"});
    EXPECT_EQ(frm.CurrentLetter, "");
    EXPECT_FALSE(frm.Timer2.enabled());
    EXPECT_TRUE(env.subjects(What::Sound).empty());
    EXPECT_EQ(frm.LettersEaten, 0);
    EXPECT_TRUE(env.backend.isShown(frm));
    EXPECT_EQ(frm.width(), 1024 * 15);

    EXPECT_TRUE(env.windows.runUntil(30000));
    EXPECT_EQ(env.windows.exitStatus(), 0);
  }
}

TEST_F(StartTest, UnreadablePictureIsReportedAsInvalidAndTheBoxKeepsItsPicture) {
  std::ofstream(folder.file("talk2.bmp")) << "not a picture";
  const auto before = frm.Picture2.picture();
  start();
  EXPECT_EQ(env.backend.boxes(), Strings{"ERROR:  481|Form_Load: \nInvalid picture"});
  EXPECT_EQ(frm.Picture2.picture()->width, 25);  // talk1 stayed
  EXPECT_NE(frm.Picture2.picture(), before);
}

TEST_F(StartTest, MissingCroakOnlySilencesTheGreetingACloseRequestEndsTheProgramAtOnce) {
  folder.remove("ribbit.wav");
  start();
  EXPECT_TRUE(env.backend.boxes().empty());
  EXPECT_TRUE(frm.Timer2.enabled());
  EXPECT_EQ(frm.CurrentLetter, "A");
  env.backend.closeRequest(700, frm);
  EXPECT_TRUE(env.windows.runUntil(60000));
  EXPECT_EQ(env.windows.nowMs(), 700);
  EXPECT_EQ(env.windows.exitStatus(), 0);
  // Nothing ran after the end.
  EXPECT_EQ(env.backend.record().back().what, What::End);
}

// On a 1920 x 1080 monitor the designs are 1.8 times larger: the screen is
// 16000 x 9000 twips, the window covers it, pictures have 1.8 times their
// pixels but keep their design size, and the stop sign's corner is where the
// pointer finds it. The sign is hidden until the screen is arranged: a click
// there before does nothing; one after ends the program.
TEST(ScaledScreen, TheDesignsKeepTheirTwipsAndTheStopSignItsCornerWhereAClickEndsTheProgram) {
  GameFolder folder;
  HeadlessEnv env{folder.path(), {1920, 1080}, 1.8};
  game::FrmMain frm{env.services};
  env.windows.start(frm);
  EXPECT_DOUBLE_EQ(frm.width(), 16000);
  EXPECT_DOUBLE_EQ(frm.height(), 9000);
  EXPECT_EQ(media::onScreen(*frm.Picture1.picture()).width, 72);  // f1 is 40 x 25 here
  EXPECT_EQ(frm.Picture1.width(), 40 * 15);
  EXPECT_EQ(media::onScreen(*frm.picStop.picture()).width, 58);
  EXPECT_EQ(frm.picStop.width(), 32 * 15);

  env.backend.click(1000, frm, 1920 - 10, 10);
  env.backend.click(20000, frm, 1920 - 10, 10);
  EXPECT_FALSE(env.windows.runUntil(19000));
  EXPECT_TRUE(frm.picStop.visible());
  EXPECT_DOUBLE_EQ(frm.picStop.left(), 16000 - 480);
  EXPECT_TRUE(env.windows.runUntil(60000));
  EXPECT_EQ(env.windows.exitStatus(), 0);
  EXPECT_FALSE(env.backend.isShown(frm));
  EXPECT_EQ(env.only({{What::Hide}, {What::End}}), (Strings{"hide frmMain", "end"}));
}

}  // namespace
