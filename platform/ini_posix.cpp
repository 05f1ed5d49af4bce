#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace vlt::platform {

namespace {

bool ReadAll(const std::string& path, ByteString& out) {
  File f;
  if (!f.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting)) return false;
  out.resize(static_cast<size_t>(f.Size()));
  return f.Read(out.data(), out.size()) == static_cast<std::ptrdiff_t>(out.size());
}

}  // namespace

void WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  ByteString content;
  if (FileExists(file) && !ReadAll(file, content)) throw Exception("Unable to write to " + file);
  const ByteString updated =
      SetIniEntry(content, TextToAnsi(section), TextToAnsi(key), TextToAnsi(value));
  // Written beside and moved over the old file: a failed write leaves the old one whole.
  const std::string temp = file + ".new";
  File f;
  const bool written =
      f.Open(temp, FileAccess::Write, FileShare::Exclusive, FileCreate::CreateAlways) &&
      f.Write(updated.data(), updated.size());
  f.Close();
  if (!written || (FileExists(file) && !RemoveFile(file)) || !RenameFile(temp, file)) {
    RemoveFile(temp);
    throw Exception("Unable to write to " + file);
  }
}

}  // namespace vlt::platform
