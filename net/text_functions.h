#pragma once
// Small stateless text, header, coding, stream, tick and path functions shared by the socket
// layer and the protocol clients. Texts are UTF-8; positions are 1-based byte positions into
// them (0 = not found), which cut UTF-8 texts at the same places as character positions do.
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace vlt::net {

// The part before / after the first `delimiter`; the whole value when it does not occur.
std::string TextBefore(std::string_view value, std::string_view delimiter);
std::string TextAfter(std::string_view value, std::string_view delimiter);
// Returns TextBefore and leaves TextAfter in `value` (empty when the delimiter is absent).
std::string FetchText(std::string& value, std::string_view delimiter);
// FetchText, then both the part and the remainder trimmed of blanks.
std::string FetchPart(std::string& value, std::string_view delimiter);

// Only the blank (code 32) is trimmed; tabs and control characters stay.
std::string TrimSpacesLeft(std::string_view value);
std::string TrimSpacesRight(std::string_view value);
std::string TrimSpaces(std::string_view value);

// Backward search: the last start position <= from - len(sub) + 1 at which `sub` occurs.
int LastPosFrom(std::string_view sub, std::string_view value, int from);
int LastPos(std::string_view sub, std::string_view value);
int CountChar(std::string_view value, char c);
// Every non-overlapping occurrence replaced, left to right.
ByteString ReplaceText(std::string_view value, std::string_view search, std::string_view replace);

struct UrlParts {
  std::string Prot, User, Pass, Host, Port, Path, Para;
};
// Splits a URL; answers the request target ("/" + path part, parameters included).
std::string SplitUrl(std::string_view url, std::string& prot, std::string& user, std::string& pass,
                     std::string& host, std::string& port, std::string& path, std::string& para);
std::string SplitUrl(std::string_view url, UrlParts& parts);

ByteString DecodeEscapes(std::string_view value, char escape);
ByteString PercentDecode(std::string_view value);
// Joins lines[index] with its continuation lines; `index` ends after the last line taken.
std::string UnfoldHeaderLine(const std::vector<std::string>& lines, int& index);
// Position of the first CR or LF and the line end found there (CR LF / LF CR when paired);
// -1 and an empty terminator when there is none.
int FindLineEnd(std::string_view value, ByteString& terminator);

ByteString EncodeWithTable(std::string_view value, std::string_view table);
ByteString ToBase64(std::string_view value);

ByteString WordToBytes(std::uint16_t value);
std::uint16_t BytesToWord(std::string_view value, int position);
ByteString LongToBytes(std::uint32_t value);
std::uint32_t SwapBytes32(std::uint32_t value);

ByteString StreamReadBytes(std::istream& stream, std::size_t count);
void StreamWriteBytes(std::ostream& stream, std::string_view value);

std::uint32_t TickMilliseconds();
// Forward distance across a wrap of the 32-bit counter; the size of a step backwards.
std::uint32_t TickDifference(std::uint32_t old_tick, std::uint32_t new_tick);

std::string PathWithSeparator(std::string_view value);

}  // namespace vlt::net
