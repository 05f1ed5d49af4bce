#pragma once
// The Firebird client library, loaded at run time, and the table of its entry points.
#include <string>

#include "database/fb_api.h"
#include "platform/dynamic_library.h"
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

// The classic entry points the program calls.
struct TFbClientApi : platform::EntryPointTable {
  template <typename F>
  using Entry = platform::EntryPoint<F>;
  static constexpr platform::Need kOptional = platform::Need::Optional;

  Entry<fbapi::isc_attach_database_t> isc_attach_database{*this, "isc_attach_database"};
  Entry<fbapi::isc_detach_database_t> isc_detach_database{*this, "isc_detach_database"};
  Entry<fbapi::isc_database_info_t> isc_database_info{*this, "isc_database_info"};
  Entry<fbapi::isc_vax_integer_t> isc_vax_integer{*this, "isc_vax_integer"};
  Entry<fbapi::isc_portable_integer_t> isc_portable_integer{*this, "isc_portable_integer"};
  Entry<fbapi::isc_sqlcode_t> isc_sqlcode{*this, "isc_sqlcode"};
  Entry<fbapi::isc_interprete_t> isc_interprete{*this, "isc_interprete"};
  Entry<fbapi::isc_get_client_version_t> isc_get_client_version{*this, "isc_get_client_version",
                                                                kOptional};
  Entry<fbapi::isc_get_client_major_version_t> isc_get_client_major_version{
      *this, "isc_get_client_major_version", kOptional};
  Entry<fbapi::isc_get_client_minor_version_t> isc_get_client_minor_version{
      *this, "isc_get_client_minor_version", kOptional};
};

class TFbClientLibrary {
 public:
  // Loads `file_name` through the system's standard library search and looks up every entry;
  // raises EFbClientLibraryError.
  explicit TFbClientLibrary(const std::string& file_name);
  TFbClientLibrary(const TFbClientLibrary&) = delete;
  TFbClientLibrary& operator=(const TFbClientLibrary&) = delete;

  // The library the program uses ("gds32.dll"; libfbclient.so.2 in the native build), loaded
  // when first needed and kept until the program ends. A failed load is tried again on the
  // next call.
  static const TFbClientLibrary& Default();
  static std::string DefaultFileName();

  const std::string& FileName() const { return library_.Name(); }
  // Every required entry is there; optional ones may not be.
  const TFbClientApi& Api() const { return api_; }

  // The client's version, when the library reports it (isc_get_client_version exported).
  int ClientMajorVersion = -1;
  int ClientMinorVersion = -1;

 private:
  // Per platform: the system's description of a failed entry lookup.
  static std::string MissingEntryDescription(const TFbClientApi& api);

  platform::DynamicLibrary library_;
  TFbClientApi api_;
};

}  // namespace vlt
