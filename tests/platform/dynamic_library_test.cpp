// Run-time libraries against a small library the tests build: typed entries, optional and
// required ones, the missing-entry message, and the owner of the open library.
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "tests/helpers/sample_library.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vlt::platform {
namespace {

static_assert(!std::is_copy_constructible_v<DynamicLibrary>);
static_assert(std::is_nothrow_move_constructible_v<DynamicLibrary>);

std::string SamplePath() {
  return test::HelperFile(VLT_SAMPLE_LIBRARY);
}

// Whether the system still has the library mapped into this process.
bool Mapped(const std::string& path) {
#ifdef _WIN32
  return GetModuleHandleA(path.c_str()) != nullptr;
#else
  void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (again != nullptr) dlclose(again);
  return again != nullptr;
#endif
}

struct SampleApi : EntryPointTable {
  EntryPoint<decltype(::vlt_sample_add)> vlt_sample_add{*this, "vlt_sample_add"};
  EntryPoint<decltype(::vlt_sample_name)> vlt_sample_name{*this, "vlt_sample_name"};
  EntryPoint<int(int)> vlt_sample_later{*this, "vlt_sample_later", Need::Optional};
};

struct SampleNeedingMore : EntryPointTable {
  EntryPoint<decltype(::vlt_sample_add)> vlt_sample_add{*this, "vlt_sample_add"};
  EntryPoint<int(int)> vlt_sample_optional{*this, "vlt_sample_optional", Need::Optional};
  EntryPoint<int(int)> vlt_sample_first{*this, "vlt_sample_first"};
  EntryPoint<int(int)> vlt_sample_second{*this, "vlt_sample_second"};
};

TEST(DynamicLibraryTest, TypedEntriesCallIntoTheLibrary) {
  BoundLibrary<SampleApi> sample;
  ASSERT_TRUE(sample.Load(SamplePath())) << sample.ErrorText();
  EXPECT_TRUE(Mapped(SamplePath()));
  EXPECT_EQ(sample.Api().vlt_sample_add(2, 3), 5);
  EXPECT_STREQ(sample.Api().vlt_sample_name(), "sample");
  EXPECT_FALSE(sample.Api().vlt_sample_later);  // optional: the table does without it
  sample.Unload();
  EXPECT_FALSE(sample.Api().vlt_sample_add);
  EXPECT_FALSE(Mapped(SamplePath()));
}

TEST(DynamicLibraryTest, TheFirstMissingRequiredEntryIsReportedByName) {
  BoundLibrary<SampleNeedingMore> sample;
  EXPECT_FALSE(sample.Load(SamplePath()));
  EXPECT_EQ(sample.ErrorText(), "Entry point \"vlt_sample_first\" not found in " + SamplePath());
  EXPECT_FALSE(sample.Api().vlt_sample_add);  // nothing stays half resolved
  EXPECT_FALSE(sample.Loaded());
  EXPECT_FALSE(Mapped(SamplePath()));
}

TEST(DynamicLibraryTest, OwnerOfTheOpenLibrary) {
  test::TempDir tmp;
  DynamicLibrary missing;
  EXPECT_FALSE(missing.Open(tmp / "nao-existe.dll"));
  EXPECT_FALSE(missing.ErrorText().empty());
  EXPECT_EQ(missing.Find("vlt_sample_add"), nullptr);

  {
    DynamicLibrary first;
    ASSERT_TRUE(first.Open(SamplePath())) << first.ErrorText();
    DynamicLibrary moved = std::move(first);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(first.Find("vlt_sample_add"), nullptr);
    EXPECT_NE(moved.Find("vlt_sample_add"), nullptr);
    EXPECT_EQ(moved.Find("vlt_sample_absent"), nullptr);
    EXPECT_TRUE(Mapped(SamplePath()));
  }
  EXPECT_FALSE(Mapped(SamplePath()));
}

}  // namespace
}  // namespace vlt::platform
