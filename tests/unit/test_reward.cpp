// The reward window on its own: centred, flashing, applause, praise, gone.
#include <gtest/gtest.h>

#include <set>

#include "reward/frm_all_right.h"
#include "tests/support/headless_env.h"

using testing_support::GameFolder;
using testing_support::HeadlessEnv;
using testing_support::What;
using Strings = std::vector<std::string>;

namespace {

struct Painted {
  std::int64_t t;
  toolkit::Rgb colour;
};

struct RewardTest : ::testing::Test {
  GameFolder folder;
  HeadlessEnv env{folder.path()};
  std::vector<Painted> painted;

  void SetUp() override {
    env.backend.onPaint = [&](const toolkit::Window& w) {
      if (w.name() == "frmAllRight") painted.push_back({env.windows.nowMs(), w.backColor()});
    };
  }

  // Shows a fresh reward window modally, as the game does; returns when it is gone.
  void showReward() {
    reward::FrmAllRight frm{env.services};
    env.windows.showModal(frm);
    EXPECT_FALSE(frm.loaded());
  }
};

// On a larger monitor, centred in the scaled twips (1920 x 1080 at 1.8: 16000 x 9000).
TEST_F(RewardTest, ItOpensCentredAtItsDesignSizeWithTheFramedPicture) {
  for (auto [screen, scale, twips] :
       {std::tuple{toolkit::Size{1024, 768}, 1.0, toolkit::Size{15360, 11520}},
        {toolkit::Size{1920, 1080}, 1.0, toolkit::Size{28800, 16200}},
        {toolkit::Size{800, 600}, 1.0, toolkit::Size{12000, 9000}},
        {toolkit::Size{1920, 1080}, 1.8, toolkit::Size{16000, 9000}}}) {
    HeadlessEnv e{folder.path(), screen, scale};
    reward::FrmAllRight frm{e.services};
    e.windows.load(frm);
    EXPECT_EQ(frm.width(), 6300);
    EXPECT_EQ(frm.height(), 7305);
    EXPECT_DOUBLE_EQ(frm.left(), (twips.width - 6300) / 2.0);
    EXPECT_DOUBLE_EQ(frm.top(), (twips.height - 7305) / 2.0);
    // The picture with its sunken border leaves an 8 by 9 pixel frame to flash.
    EXPECT_EQ(frm.Picture1.left(), 120);
    EXPECT_EQ(frm.Picture1.top(), 135);
    EXPECT_EQ(frm.Picture1.width(), 6060);
    EXPECT_EQ(frm.Picture1.height(), 7035);
    EXPECT_EQ(frm.Picture1.border(), toolkit::Border::Sunken);
    EXPECT_EQ(frm.backColor(), toolkit::SystemColor::ButtonFace);
    EXPECT_TRUE(frm.Timer1.enabled());
    EXPECT_TRUE(frm.Timer2.enabled());
    e.windows.unload(frm);
  }
}

TEST_F(RewardTest, ItFlashesEveryTenthOfASecondInTheFifteenColoursThenApplauseAndPraiseAndCloses) {
  // The generator's extremes give colour 1 and colour 15.
  std::vector<double> draws{0.0, 0.9999999};
  std::size_t i = 0;
  env.windows.setRandomSource([&] { return draws[i++ % draws.size()]; });
  const std::int64_t t0 = env.windows.nowMs();
  showReward();
  ASSERT_GE(painted.size(), 3u);
  EXPECT_EQ(painted.front().t, t0);
  EXPECT_EQ(painted.front().colour, toolkit::SystemColor::ButtonFace);
  EXPECT_EQ(painted[1].colour, (toolkit::Rgb{0, 0, 128}));
  EXPECT_EQ(painted[2].colour, (toolkit::Rgb{255, 255, 255}));
  EXPECT_EQ(env.count({What::Tick, "frmAllRight.Timer1"}), 35u);
  EXPECT_EQ(env.timeOf({What::Tick, "frmAllRight.Timer1"}), t0 + 100);
  EXPECT_EQ(env.timeOf({What::Tick, "frmAllRight.Timer2"}), t0 + 3500);
  EXPECT_EQ(env.count({What::Tick, "frmAllRight.Timer2"}), 1u);
  EXPECT_EQ(env.subjects(What::Sound),
            (Strings{"Notify=off", "Wait=on", "Shareable=off", "DeviceType=WaveAudio",
                     "FileName=applp.wav", "Open (wait)", "Wait=on", "Play (wait)", "close",
                     "FileName=goodjob.wav", "Wait=on", "Open (wait)", "Wait=on", "Play (wait)"}));
  EXPECT_EQ(env.timeOf({What::Unload, "frmAllRight"}),
            t0 + 3500 + GameFolder::kApplauseMs + GameFolder::kPraiseMs);
  // No colour changes while the sounds play.
  EXPECT_LE(painted.back().t, t0 + 3500);

  // With the real generator, over many rewards every colour 1 to 15 comes, and no other.
  env.windows.setRandomSource({});
  env.windows.randomize();
  painted.clear();
  for (int n = 0; n < 10; ++n) showReward();
  std::set<std::tuple<int, int, int>> seen;
  for (const auto& p : painted)
    if (!(p.colour == toolkit::SystemColor::ButtonFace))
      seen.insert({p.colour.r, p.colour.g, p.colour.b});
  // The classic sixteen less black.
  const std::set<std::tuple<int, int, int>> palette{
      {0, 0, 128},   {0, 128, 0},     {0, 128, 128},   {128, 0, 0},   {128, 0, 128},
      {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},   {0, 255, 0},
      {0, 255, 255}, {255, 0, 0},     {255, 0, 255},   {255, 255, 0}, {255, 255, 255}};
  EXPECT_EQ(seen, palette);
}

TEST_F(RewardTest, AMissingSoundIsSkippedAndEveryRewardStartsAfreshFromItsDesign) {
  folder.remove("applp.wav");
  const std::int64_t t0 = env.windows.nowMs();
  showReward();
  EXPECT_EQ(env.timeOf({What::Unload, "frmAllRight"}), t0 + 3500 + GameFolder::kPraiseMs);
  folder.remove("goodjob.wav");
  const std::int64_t t1 = env.windows.nowMs();
  const std::size_t first = painted.size();
  showReward();
  EXPECT_EQ(env.timeOf({What::Unload, "frmAllRight"}, 2), t1 + 3500);
  EXPECT_TRUE(env.backend.boxes().empty());
  ASSERT_GT(painted.size(), first);
  EXPECT_EQ(painted[first].colour, toolkit::SystemColor::ButtonFace);
  EXPECT_EQ(env.count({What::Tick, "frmAllRight.Timer2"}), 2u);
}

}  // namespace
