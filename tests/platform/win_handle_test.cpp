// The Win32 owners: each releases exactly once, moves hand over ownership, and copying is
// impossible.
#include "platform/win_handle.h"

#include <gtest/gtest.h>
#include <objidl.h>
#include <unknwn.h>

#include <type_traits>
#include <vector>

#include "platform/win_gdi.h"

namespace vlt::platform {
namespace {

static_assert(!std::is_copy_constructible_v<UniqueHandle>);
static_assert(!std::is_copy_assignable_v<UniqueHandle>);
static_assert(!std::is_copy_constructible_v<ComPtr<IUnknown>>);
static_assert(!std::is_copy_constructible_v<UniqueGdiObject>);

bool HandleIsOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

TEST(WinHandleTest, HandleClosedOnceAndMoved) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueHandle owner(raw);
    UniqueHandle moved(std::move(owner));
    EXPECT_FALSE(owner.Valid());
    EXPECT_EQ(moved.Get(), raw);
    EXPECT_TRUE(HandleIsOpen(raw));
    UniqueHandle other;
    other = std::move(moved);
    EXPECT_TRUE(HandleIsOpen(raw));
  }
  EXPECT_FALSE(HandleIsOpen(raw));

  UniqueFileHandle none;
  EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none.Valid());
}

TEST(WinHandleTest, KeyAndModuleOwners) {
  UniqueKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Put()), ERROR_SUCCESS);
  EXPECT_TRUE(key.Valid());
  key.Reset();
  EXPECT_FALSE(key.Valid());

  UniqueModule module(LoadLibraryW(L"version.dll"));
  ASSERT_TRUE(module.Valid());
  HMODULE raw = module.Release();
  EXPECT_FALSE(module.Valid());
  EXPECT_TRUE(FreeLibrary(raw));
}

// Counts references so that the owner's releases can be checked.
class CountedUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(WinHandleTest, ComPtrReleasesOnceAndMoves) {
  CountedUnknown object;
  {
    ComPtr<IUnknown> first;
    *first.Put() = &object;
    ComPtr<IUnknown> second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(object.refs, 1u);
    ComPtr<IUnknown> third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), &object);
  }
  EXPECT_EQ(object.refs, 0u);
}

TEST(WinHandleTest, GdiObjectsAndSelectionScopes) {
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc.Valid());
  UniqueGdiObject brush(CreateSolidBrush(RGB(1, 2, 3)));
  HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  {
    SelectScope selected(dc.Get(), brush.Get());
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), before);
  HGDIOBJ raw = brush.Get();
  brush.Reset();
  EXPECT_EQ(GetObjectType(raw), 0u);  // deleted

  // The double buffer paints off screen and copies the result when it goes.
  UniqueGdiObject target_bitmap(CreateCompatibleBitmap(GetDC(nullptr), 8, 8));
  SelectScope target(dc.Get(), target_bitmap.Get());
  const RECT area{2, 2, 6, 6};
  {
    DoubleBuffer buffer(dc.Get(), area);
    UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(buffer.Dc(), &area, static_cast<HBRUSH>(red.Get()));
    EXPECT_NE(GetPixel(dc.Get(), 3, 3), RGB(255, 0, 0));
  }
  EXPECT_EQ(GetPixel(dc.Get(), 3, 3), RGB(255, 0, 0));
  EXPECT_NE(GetPixel(dc.Get(), 0, 0), RGB(255, 0, 0));
}

// Sees every block the COM allocator frees.
class FreeSpy : public IMallocSpy {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* p) override { return p; }
  void* STDMETHODCALLTYPE PreFree(void* p, BOOL) override {
    freed.push_back(p);
    return p;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void*, SIZE_T size, void** out, BOOL) override {
    *out = nullptr;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override { return p; }
  void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
  std::vector<void*> freed;
};

TEST(WinHandleTest, SystemMemoryAndSearchOwners) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE, 16);
  ASSERT_NE(block, nullptr);
  {
    UniqueLocalMemory owner(block);
    EXPECT_NE(LocalFlags(block), LMEM_INVALID_HANDLE);
  }
  EXPECT_EQ(LocalFlags(block), LMEM_INVALID_HANDLE);

  FreeSpy spy;
  ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(8));
  { UniqueCoTaskString owner(text); }
  CoRevokeMallocSpy();
  EXPECT_EQ(spy.freed, std::vector<void*>{text});

  WIN32_FIND_DATAW data{};
  HANDLE raw = FindFirstFileW(L"C:\\windows\\*", &data);
  ASSERT_NE(raw, INVALID_HANDLE_VALUE);
  { UniqueFindHandle owner(raw); }
  EXPECT_FALSE(FindNextFileW(raw, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(UniqueFindHandle().Valid());  // INVALID_HANDLE_VALUE is the empty value
}

}  // namespace
}  // namespace vlt::platform
