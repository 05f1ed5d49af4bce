#pragma once
// Libraries loaded by name at run time, and the typed tables of entry points looked up in
// them: LoadLibraryW/GetProcAddress on Windows, dlopen/dlsym natively.
//
// A table is declared once per library, one member per entry point: the exported name and the
// exact signature, taken with decltype from the real declaration where a header has one.
//
//   struct ZlibApi : EntryPointTable {
//     EntryPoint<decltype(::zlibVersion)> zlibVersion{*this, "zlibVersion"};
//     EntryPoint<decltype(::crc32_z)> crc32_z{*this, "crc32_z", Need::Optional};
//   };
//   BoundLibrary<ZlibApi> zlib;
//   if (!zlib.Load("libz.so.1")) throw Exception(zlib.ErrorText());
//   const char* version = zlib.Api().zlibVersion();
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/unique_resource.h"

namespace vlt::platform {

struct LibraryHandleTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static void Close(Type module);  // FreeLibrary / dlclose
};

// A library opened by name; move-only, released by its destructor.
class DynamicLibrary {
 public:
  // The name as the system looks it up ("gdiplus.dll", "libfbclient.so.2") or a path. On
  // failure returns false and keeps the system's reason in ErrorText().
  bool Open(std::string_view name);
  bool IsOpen() const { return module_.Valid(); }
  void Close() { module_.Reset(); }
  const std::string& Name() const { return name_; }
  // The address the library exports under `symbol`; nullptr when it has none.
  void* Find(const char* symbol) const;
  const std::string& ErrorText() const { return error_; }

 private:
  UniqueResource<LibraryHandleTraits> module_;
  std::string name_;
  std::string error_;
};

enum class Need { Required, Optional };

class EntryPointTable;

// What every entry of a table has: its exported name, whether the table can do without it,
// and the address found (none until the table is resolved).
class EntryPointBase {
 public:
  EntryPointBase(const EntryPointBase&) = delete;
  EntryPointBase& operator=(const EntryPointBase&) = delete;
  const char* Name() const { return name_; }
  bool Required() const { return need_ == Need::Required; }
  explicit operator bool() const { return address_ != nullptr; }

 protected:
  EntryPointBase(EntryPointTable& table, const char* name, Need need);
  ~EntryPointBase() = default;
  void* address_ = nullptr;

 private:
  friend class EntryPointTable;
  const char* name_;
  Need need_;
};

// An entry point of the function type F, called like the function itself.
template <typename F>
class EntryPoint : public EntryPointBase {
 public:
  EntryPoint(EntryPointTable& table, const char* name, Need need = Need::Required)
      : EntryPointBase(table, name, need) {}
  F* Get() const { return reinterpret_cast<F*>(address_); }
  template <typename... Args>
  decltype(auto) operator()(Args&&... args) const {
    return Get()(std::forward<Args>(args)...);
  }
};

// The base of a library's table. Its entries register with it as they are built, so a table
// is neither copied nor moved.
class EntryPointTable {
 public:
  EntryPointTable(const EntryPointTable&) = delete;
  EntryPointTable& operator=(const EntryPointTable&) = delete;

  // Looks every entry up in `library`. When a required one is missing, nothing stays
  // resolved, MissingEntry() names the first such entry in declaration order, and the answer is
  // false.
  bool Resolve(const DynamicLibrary& library);
  // Forgets every address.
  void Clear();
  // The first required entry the last Resolve did not find; "" otherwise.
  const std::string& MissingEntry() const { return missing_; }
  // The message for it: Entry point "isc_attach_database" not found in gds32.dll.
  std::string MissingEntryText() const;

 protected:
  EntryPointTable() = default;
  ~EntryPointTable() = default;

 private:
  friend class EntryPointBase;
  std::vector<EntryPointBase*> entries_;
  std::string missing_;
  std::string library_;
};

// A library and its table, loaded and released as one.
template <typename Table>
class BoundLibrary {
 public:
  // Opens the library and resolves the table; false, with the reason in ErrorText(), when the
  // library cannot be opened or lacks a required entry (which the reason names).
  bool Load(std::string_view name) {
    Unload();
    if (!library_.Open(name)) {
      error_ = library_.ErrorText();
      return false;
    }
    if (!api_.Resolve(library_)) {
      error_ = api_.MissingEntryText();
      library_.Close();
      return false;
    }
    error_.clear();
    return true;
  }
  void Unload() {
    api_.Clear();
    library_.Close();
  }
  bool Loaded() const { return library_.IsOpen(); }
  const Table& Api() const { return api_; }
  const std::string& ErrorText() const { return error_; }

 private:
  DynamicLibrary library_;
  Table api_;
  std::string error_;
};

}  // namespace vlt::platform
