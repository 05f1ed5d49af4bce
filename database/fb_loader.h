#pragma once
// Loading a shared library by file name and finding its entries by name (Windows: LoadLibraryW
// and GetProcAddress; native: dlopen and dlsym).
#include <string>

namespace vlt::fbloader {

// Null when the library cannot be loaded.
void* OpenLibrary(const std::string& file_name);
void CloseLibrary(void* module);
void* FindEntry(void* module, const char* name);
// The system's description of a failed entry lookup (code 127 on Windows).
std::string MissingEntryDescription(const std::string& file_name, const char* entry);
// The client library's file name on this platform.
std::string ClientLibraryFileName();

}  // namespace vlt::fbloader
