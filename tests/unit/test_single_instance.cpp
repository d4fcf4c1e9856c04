// One game at a time: the claim on a screen's name.
#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace {

// A name no other test or running game uses.
std::string testName(const std::string& display) {
  return app::instanceName(static_cast<unsigned>(getpid()), "test-" + display);
}

TEST(SingleInstance, OneClaimPerNameUntilItsHolderLetsGo) {
  auto first = std::make_unique<app::SingleInstance>(testName(":7"));
  EXPECT_TRUE(first->claimed());
  EXPECT_FALSE(app::SingleInstance(testName(":7")).claimed());
  EXPECT_TRUE(app::SingleInstance(testName(":8")).claimed()) << "another display is free";
  first.reset();
  EXPECT_TRUE(app::SingleInstance(testName(":7")).claimed()) << "nothing stays behind";
}

TEST(SingleInstance, AnotherProcessHoldsItUntilItIsKilled) {
  const std::string name = testName(":9");  // before the fork: the child has another pid
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const app::SingleInstance held(name);
    const char answer = held.claimed() ? 'y' : 'n';
    if (write(ready[1], &answer, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  EXPECT_FALSE(app::SingleInstance(name).claimed());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(app::SingleInstance(name).claimed()) << "a killed game left its claim";
}

TEST(SingleInstance, NamesTellUsersAndDisplaysApart) {
  EXPECT_NE(app::instanceName(1000, ":0"), app::instanceName(1001, ":0"));
  EXPECT_NE(app::instanceName(1000, ":0"), app::instanceName(1000, ":1"));
  EXPECT_NE(app::instanceName(1, ":10"), app::instanceName(11, ":0"));
}

TEST(SingleInstance, AVeryLongDisplayNameStillMakesAClaim) {
  const std::string name = testName(std::string(300, 'x'));
  const app::SingleInstance held(name);
  EXPECT_TRUE(held.claimed());
  EXPECT_FALSE(app::SingleInstance(name).claimed());
}

}  // namespace
