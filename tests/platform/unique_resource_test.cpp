// The owner every system resource is held by: it closes exactly once, a move hands the
// resource over, and copying is impossible.
#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "platform/dir_list.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/handle_count.h"
#include "tests/support/temp_dir.h"

namespace vlt::platform {
namespace {

struct CountedTraits {
  using Type = int;
  static Type Invalid() { return -1; }
  static void Close(Type value) { closed.push_back(value); }
  static inline std::vector<int> closed;
};
using Owner = UniqueResource<CountedTraits>;

static_assert(!std::is_copy_constructible_v<Owner>);
static_assert(!std::is_copy_assignable_v<Owner>);
static_assert(std::is_nothrow_move_constructible_v<Owner>);

TEST(UniqueResourceTest, ClosesOnceAndHandsOverOnMove) {
  CountedTraits::closed.clear();
  {
    Owner first(7);
    Owner second(std::move(first));
    EXPECT_FALSE(first.Valid());
    Owner third(9);
    third = std::move(second);  // 9 goes, 7 moves in
    EXPECT_EQ(CountedTraits::closed, std::vector<int>{9});
    EXPECT_EQ(third.Get(), 7);
    *third.Put() = 4;  // an out-parameter API: 7 goes first
    EXPECT_EQ(third.Get(), 4);
    Owner released(5);
    EXPECT_EQ(released.Release(), 5);  // the caller's now, never closed here
    Owner none;
    EXPECT_FALSE(none);
  }
  EXPECT_EQ(CountedTraits::closed, (std::vector<int>{9, 7, 4}));
}

// The owners inside the platform layer: files (a failed exclusive open included), directory
// listings and the process list leave the process with what it had.
TEST(UniqueResourceTest, PlatformOperationsGiveBackWhatTheyOpen) {
  test::TempDir tmp;
  test::WriteFile(tmp / "a.txt", "x");
  const int before = test::OpenHandleCount();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 4; ++i) {
    File first, second;
    ASSERT_TRUE(first.Open(tmp / "a.txt", FileAccess::Read, FileShare::Exclusive,
                           FileCreate::OpenExisting));
    EXPECT_FALSE(second.Open(tmp / "a.txt", FileAccess::Read, FileShare::Exclusive,
                             FileCreate::OpenExisting));
    File moved = std::move(first);
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_FALSE(ListDirectory(tmp.path(), "*.*").empty());
    EXPECT_TRUE(ListDirectory(tmp / "missing", "*.*").empty());
    EXPECT_FALSE(ProcessNames().empty());
    EXPECT_TRUE(DirectoryExists(tmp.path()));
  }
  EXPECT_EQ(test::OpenHandleCount(), before);
}

}  // namespace
}  // namespace vlt::platform
