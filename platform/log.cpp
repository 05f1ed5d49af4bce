#include "platform/log.h"

#include <cstdio>

#include "platform/clock.h"

namespace vlt::platform {
namespace {

LogFile* current_log = nullptr;

}  // namespace

bool LogFile::Open(std::string_view path) {
  std::lock_guard lock(mutex_);
  path_ = std::string(path);
  // Shared for reading and writing: a reader (support, a deployment tool) follows it as it
  // grows, and a second run in the same second appends instead of failing.
  if (!file_.Open(path, FileAccess::Write, FileShare::DenyNone, FileCreate::OpenAlways) ||
      file_.SeekEnd() < 0) {
    error_ = file_.ErrorText();
    file_.Close();
    return false;
  }
  error_.clear();
  return true;
}

void LogFile::Write(std::string_view text) {
  std::string line = LogLineText(text);
  line += "\r\n";
  std::lock_guard lock(mutex_);
  if (!file_.IsOpen()) return;
  // One write per line, unbuffered: the line is the system's as soon as this returns.
  file_.Write(line.data(), line.size());
  file_.Flush();
}

std::string LogLineText(std::string_view text) {
  const LocalDateTime t = CurrentClock().LocalTime();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d  ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return stamp + OneLine(text);
}

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line.append(" | ");
    } else {
      line.push_back(c);
    }
  }
  return line;
}

std::string DefaultLogPath() {
  const LocalDateTime t = CurrentClock().LocalTime();
  char name[64];
  std::snprintf(name, sizeof name, "InstaladorVeltra-%04d%02d%02d-%02d%02d%02d.log", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  std::string path = TemporaryFolder();
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path.push_back('\\');
  path.append(name);
  return path;
}

ScopedLog::ScopedLog(LogFile& log) : previous_(current_log) {
  current_log = &log;
}

ScopedLog::~ScopedLog() {
  current_log = previous_;
}

void Log(std::string_view text) {
  if (current_log != nullptr) current_log->Write(text);
}

std::string LogPath() {
  return current_log != nullptr && current_log->IsOpen() ? current_log->Path() : std::string();
}

std::string DurationText(std::uint32_t ms) {
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) +
         std::to_string(ms % 100 / 10) + " s";
}

std::string LogNote() {
  const std::string path = LogPath();
  return path.empty() ? std::string() : "\r\rRegistro da instalação: " + path;
}

}  // namespace vlt::platform
