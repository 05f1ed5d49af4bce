#include "platform/ini.h"

#include <vector>

#include "platform/text.h"

namespace vlt::platform {

namespace {

// Only blanks and TABs: other control bytes belong to the key or value.
std::string_view TrimBlanksAndTabs(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct Line {
  size_t begin, end;  // the line's text, without its line end
  size_t next;        // where the next line begins
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  size_t at = 0;
  while (at < content.size()) {
    size_t end = content.find('\n', at);
    const size_t next = end == std::string_view::npos ? content.size() : end + 1;
    if (end == std::string_view::npos) end = content.size();
    size_t text_end = end;
    if (text_end > at && content[text_end - 1] == '\r') --text_end;
    lines.push_back({at, text_end, next});
    at = next;
  }
  return lines;
}

// "[name]" -> name; nothing for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
  line = TrimBlanksAndTabs(line);
  if (line.size() < 2 || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = TrimBlanksAndTabs(line.substr(1, close - 1));
  return true;
}

}  // namespace

ByteString SetIniEntry(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value) {
  const std::vector<Line> lines = SplitLines(content);
  auto text = [&](const Line& l) { return content.substr(l.begin, l.end - l.begin); };
  const std::string entry = std::string(key) + "=" + std::string(value);

  // The section, and in it the key's line or the end of the section's last entry.
  size_t section_line = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (SectionName(text(lines[i]), name) && EqualsNoCase(name, section)) {
      section_line = i;
      break;
    }
  }
  std::string out;
  if (section_line == lines.size()) {
    out = std::string(content);
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out + "[" + std::string(section) + "]\r\n" + entry + "\r\n";
  }
  size_t insert_after = section_line;
  for (size_t i = section_line + 1; i < lines.size(); ++i) {
    const std::string_view line = text(lines[i]);
    std::string_view name;
    if (SectionName(line, name)) break;
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos && EqualsNoCase(TrimBlanksAndTabs(line.substr(0, eq)), key)) {
      // The key keeps the spelling it has in the file; only its value changes.
      return std::string(content.substr(0, lines[i].begin)) +
             std::string(TrimBlanksAndTabs(line.substr(0, eq))) + "=" + std::string(value) +
             std::string(content.substr(lines[i].end));
    }
    if (!TrimBlanksAndTabs(line).empty()) insert_after = i;
  }
  const Line& after = lines[insert_after];
  out = std::string(content.substr(0, after.next));
  if (after.next == after.end) out += "\r\n";  // the last line had no line end
  return out + entry + "\r\n" + std::string(content.substr(after.next));
}

}  // namespace vlt::platform
