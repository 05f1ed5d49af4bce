// Started processes: the owner of one, and waits that pass on the program's clock.
#include "platform/process.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

TEST(ProcessTest, WaitsPassOnTheClockAndTheOwnerMoves) {
  test::TempDir tmp;
  ManualClock clock;
  ScopedClock scoped(clock);
  const std::string release = tmp / "release";
  StartResult run =
      ShellStart(test::HelperProgram("vlt_sleeper"), "until \"" + HostPath(release) + "\"");
  ASSERT_TRUE(run.started) << run.error_text;
  Process child = std::move(run.process);
  EXPECT_FALSE(run.process.Valid());
  EXPECT_TRUE(run.process.Wait(50));  // holding nothing, there is nothing to wait for
  EXPECT_EQ(clock.Sleeps(), 0);

  // Still running: a 50 ms wait lets 50 ms pass on the clock and none of it for real.
  EXPECT_FALSE(child.Wait(50));
  EXPECT_FALSE(child.Wait(0));
  EXPECT_EQ(clock.SleptMs(), 50u);
  EXPECT_EQ(clock.TickMs(), 50u);

  test::WriteFile(release, "");
  EXPECT_TRUE(child.Wait(-1));
  EXPECT_TRUE(child.Wait(0));  // an ended process stays ended
  EXPECT_EQ(child.ExitCode(), 0);
}

// One holder of a name at a time, also within one process; the name is free again once its
// holder lets go.
TEST(InstanceLockTest, OneHolderAtATime) {
  const std::string name = "VltTeste-" + std::to_string(TickMs());
  {
    InstanceLock first;
    ASSERT_TRUE(first.Acquire(name));
    EXPECT_TRUE(first.Held());
    InstanceLock second;
    EXPECT_FALSE(second.Acquire(name));
    EXPECT_FALSE(second.Held());
    InstanceLock other;
    EXPECT_TRUE(other.Acquire(name + "-outro"));
  }
  InstanceLock again;
  EXPECT_TRUE(again.Acquire(name));
}

}  // namespace
}  // namespace vlt::platform
