// One game at a time: the claim on a user's screen.
#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

// A runtime folder of the test's own, made as the desktop makes one.
struct RuntimeDir {
  std::string path;
  RuntimeDir() {
    char name[] = "/tmp/yumble-claim-XXXXXX";
    path = mkdtemp(name);
  }
  ~RuntimeDir() { std::filesystem::remove_all(path); }
  app::SingleInstance claim(const std::string& display) const {
    return app::SingleInstance(getuid(), display, path, path);
  }
};

// The refused start has called on the holder, which hears it on its socket.
TEST(SingleInstance, OneClaimPerScreenHoweverWrittenUntilItsHolderLetsGoASecondStartCallsOnIt) {
  const RuntimeDir dir;
  for (const std::string& screen : {std::string(":7"), ":" + std::string(300, 'x')}) {
    auto first = std::make_unique<app::SingleInstance>(getuid(), screen, dir.path);
    ASSERT_TRUE(first->claimed());
    pollfd call{first->calls(), POLLIN, 0};
    EXPECT_EQ(poll(&call, 1, 0), 0) << "nobody has called yet";
    EXPECT_FALSE(dir.claim(screen).claimed());
    EXPECT_EQ(poll(&call, 1, 5000), 1) << screen;
    EXPECT_TRUE(dir.claim(":8").claimed()) << "another display is free";
    first.reset();
    EXPECT_TRUE(dir.claim(screen).claimed()) << "nothing stays behind";
  }
  // Screens are named however the display is written.
  EXPECT_EQ(app::screenName(":0"), app::screenName(":0.0"));
  EXPECT_EQ(app::screenName(":0"), app::screenName("unix:0"));
  EXPECT_NE(app::screenName(":0"), app::screenName(":0.1"));
  EXPECT_NE(app::screenName(":0"), app::screenName(":10"));
  EXPECT_NE(app::screenName(":0"), app::screenName("far:0"));
  EXPECT_NE(app::screenName("wayland-0", true), app::screenName("wayland-0"));
  EXPECT_NE(app::screenName("wayland-1", true, "/a"), app::screenName("wayland-1", true, "/b"));
  EXPECT_EQ(app::screenName("/a/wayland-1", true, "/b"), app::screenName("wayland-1", true, "/a"));
}

TEST(SingleInstance, AnotherProcessHoldsItUntilItIsKilled) {
  const RuntimeDir dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto held = dir.claim(":9");
    const char answer = held.claimed() ? 'y' : 'n';
    if (write(ready[1], &answer, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  EXPECT_FALSE(dir.claim(":9").claimed());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(dir.claim(":9").claimed()) << "a killed game left its claim";
}

// Another account can neither see the claim nor stop the game with one of
// its own: a runtime folder others may enter is not used, and a spare folder
// someone else made is not trusted; the game then plays.
TEST(SingleInstance, NoOtherAccountCanStopTheGame) {
  const RuntimeDir everyones, spare;
  chmod(everyones.path.c_str(), 0777);
  const app::SingleInstance first(getuid(), ":3", everyones.path, spare.path);
  EXPECT_TRUE(std::filesystem::is_directory(spare.path + "/yumble-" + std::to_string(getuid())));
  EXPECT_FALSE(app::SingleInstance(getuid(), ":3", everyones.path, spare.path).claimed());
  if (getuid() != 0) GTEST_SKIP() << "only root can make a folder another account owns";
  const RuntimeDir squatted;
  const std::string theirs = squatted.path + "/yumble-" + std::to_string(getuid());
  ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);
  ASSERT_EQ(chown(theirs.c_str(), 54321, 54321), 0);
  const int lock = open((theirs + "/yumble-:3.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  EXPECT_TRUE(app::SingleInstance(getuid(), ":3", "", squatted.path).claimed());
  close(lock);
}

}  // namespace
