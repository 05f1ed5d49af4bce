#pragma once
// Move-only owners of Win32 resources (Windows build only).
#include <windows.h>
// after windows.h
#include <objbase.h>

#include <utility>

#include "platform/unique_resource.h"

namespace vlt::platform {

struct HandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
// CreateFileW and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct KeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type k) { ::RegCloseKey(k); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type m) { ::FreeLibrary(m); }
};

// A window whose procedure finds its object through GWLP_USERDATA. The link is cut before the
// window is destroyed, so an owner going out of scope raises no event in that object.
struct WindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type w) {
    ::SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    ::DestroyWindow(w);
  }
};
// Memory the system allocated for us: FormatMessageW's buffer, and shell paths
// (SHGetKnownFolderPath, IShellItem::GetDisplayName).
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type p) { ::LocalFree(p); }
};
struct CoTaskMemoryTraits {
  using Type = wchar_t*;
  static Type Invalid() { return nullptr; }
  static void Close(Type p) { ::CoTaskMemFree(p); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueKey = UniqueResource<KeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueCoTaskString = UniqueResource<CoTaskMemoryTraits>;

// Owner of one COM interface pointer.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // For CoCreateInstance / QueryInterface out-parameters.
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  I** Put() {
    Reset();
    return &p_;
  }

 private:
  I* p_ = nullptr;
};

}  // namespace vlt::platform
