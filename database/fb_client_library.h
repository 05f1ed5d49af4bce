#pragma once
// The Firebird client library, loaded at run time, and the table of its entry points.
#include <memory>
#include <string>

#include "database/fb_api.h"
#include "platform/exception.h"

namespace vlt {

// The library cannot be loaded, or lacks an entry point the program calls (MissingEntry names
// it; empty when the library itself was not found).
class EFbClientLibraryError : public Exception {
 public:
  EFbClientLibraryError(const std::string& message, std::string missing_entry)
      : Exception(message), MissingEntry(std::move(missing_entry)) {}
  std::string MissingEntry;
};

// The entry points, by name; each has the type fbapi::<name>_t.
// clang-format off
#define VLT_FB_REQUIRED_ENTRIES(X) \
  X(isc_attach_database)           \
  X(isc_detach_database)           \
  X(isc_database_info)             \
  X(isc_vax_integer)               \
  X(isc_portable_integer)          \
  X(isc_sqlcode)                   \
  X(isc_interprete)
#define VLT_FB_OPTIONAL_ENTRIES(X) \
  X(isc_get_client_version)        \
  X(isc_get_client_major_version)  \
  X(isc_get_client_minor_version)
// clang-format on

class TFbClientLibrary {
 public:
  // Loads `file_name` through the system's standard library search and looks up every entry;
  // raises EFbClientLibraryError.
  explicit TFbClientLibrary(const std::string& file_name);
  ~TFbClientLibrary();
  TFbClientLibrary(const TFbClientLibrary&) = delete;
  TFbClientLibrary& operator=(const TFbClientLibrary&) = delete;

  // The library the program uses ("gds32.dll"; libfbclient.so.2 in the native build), loaded
  // when first needed and kept until the program ends. A failed load is tried again on the
  // next call.
  static const TFbClientLibrary& Default();
  static std::string DefaultFileName();

  const std::string& FileName() const { return file_name_; }

  // Required entries are never null; optional ones are null when not exported.
#define VLT_FB_FIELD(name) fbapi::name##_t* name = nullptr;
  VLT_FB_REQUIRED_ENTRIES(VLT_FB_FIELD)
  VLT_FB_OPTIONAL_ENTRIES(VLT_FB_FIELD)
#undef VLT_FB_FIELD

  // The client's version, when the library reports it (isc_get_client_version exported).
  int ClientMajorVersion = -1;
  int ClientMinorVersion = -1;

 private:
  struct Module;
  std::string file_name_;
  std::unique_ptr<Module> module_;
};

}  // namespace vlt
