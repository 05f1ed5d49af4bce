#pragma once
// The installation log: one UTF-8 line per event, with its local time. Each line is handed to
// the system as soon as it is written, so a killed process leaves the log up to its last line;
// the file is opened for appending and shared, so support can read it while it grows. One log
// serves the whole process (put in place by ScopedLog); without one, Log() does nothing.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace vlt::platform {

class LogFile {
 public:
  // Opens (or creates) `path` for appending; false with the system's reason in ErrorText().
  bool Open(std::string_view path);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return path_; }
  const std::string& ErrorText() const { return error_; }
  // Writes one line with the clock's local time. A failed write is not retried or reported:
  // the installation does not stop for its log.
  void Write(std::string_view text);

 private:
  std::mutex mutex_;
  File file_;
  std::string path_, error_;
};

// "2026-01-31 14:05:07.123  text" at the clock's local time: line breaks inside the text
// become " | ", so that every event stays one line; no end of line.
std::string LogLineText(std::string_view text);
// The text with each line break (CR LF, CR or LF) made " | ".
std::string OneLine(std::string_view text);

// "<temporary folder>\InstaladorVeltra-AAAAMMDD-HHMMSS.log" for the clock's local time.
std::string DefaultLogPath();

// Makes `log` the process's log for the lifetime of the object.
class ScopedLog {
 public:
  explicit ScopedLog(LogFile& log);
  ~ScopedLog();
  ScopedLog(const ScopedLog&) = delete;
  ScopedLog& operator=(const ScopedLog&) = delete;

 private:
  LogFile* previous_;
};

// One line in the process's log, if there is one.
void Log(std::string_view text);
// The process's log file, "" when there is none.
std::string LogPath();

// How long something took, as the log says it: "2.35 s".
std::string DurationText(std::uint32_t ms);
// Closes a failure's box: where support finds the whole story ("" without a log).
std::string LogNote();

}  // namespace vlt::platform
