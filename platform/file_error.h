#pragma once
// For the platform's own file operations outside files_*.cpp: keeps the error that
// LastFileErrorText() words.
namespace vlt::platform {

// errno natively, a Win32 error code on Windows.
void SetLastFileError(unsigned long code);

}  // namespace vlt::platform
