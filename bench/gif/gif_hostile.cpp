// gif_hostile KIND FILE [COUNT]: writes a small GIF built to make a decoder work or allocate far
// beyond what its pixels need, byte by byte (no encoder would write these):
//   long-codes             a 1 x 1 image followed by COUNT bytes (default 10,000,000) of codes
//                          that fill the string table and then repeat its longest string
//   long-codes-interlaced  the same, interlaced
//   comments               COUNT (default 3,000,000) empty comment blocks before a 1 x 1 image
//   frames                 COUNT (default 200,000) 1 x 1 frames, each with a local table
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

void Put16(std::string& s, int v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

// A 1 x 1 logical screen with a 2-entry global table.
std::string Header() {
  std::string s = "GIF89a";
  Put16(s, 1);
  Put16(s, 1);
  s += '\x80';  // global table of 2 entries
  s += '\0';
  s += '\0';
  s += std::string("\0\0\0\xFF\xFF\xFF", 6);
  return s;
}

// Image descriptor of a 1 x 1 image at (0, 0).
std::string Descriptor(bool interlaced, bool local_table) {
  std::string s = ",";
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, 1);
  s += static_cast<char>((interlaced ? 0x40 : 0) | (local_table ? 0x80 : 0));
  if (local_table) s += std::string("\x10\x20\x30\x40\x50\x60", 6);
  return s;
}

std::string SubBlocks(const std::string& data) {
  std::string out;
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out += static_cast<char>(n);
    out.append(data, at, n);
  }
  out += '\0';
  return out;
}

// Minimum code size 8: a clear code, the root 0, then every code the one being defined (each
// one more 0 than the last) until the table is full, then its last entry, 3839 pixels long,
// over and over until `bytes` bytes are written.
std::string LongCodes(size_t bytes) {
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  auto put = [&](int code, int width) {
    buffer |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      out += static_cast<char>(buffer & 0xFF);
      buffer >>= 8;
      bits -= 8;
    }
  };
  int width = 9, slot = 258, top = 512;
  put(256, width);
  put(0, width);
  while (slot < 4096) {
    put(slot, width);
    if (++slot >= top && width < 12) {
      top <<= 1;
      ++width;
    }
  }
  while (out.size() < bytes) put(4095, 12);
  put(257, 12);
  if (bits > 0) out += static_cast<char>(buffer & 0xFF);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: gif_hostile long-codes|long-codes-interlaced|comments|frames FILE [COUNT]\n",
               stderr);
    return 2;
  }
  const std::string kind = argv[1];
  const long long count = argc > 3 ? std::atoll(argv[3]) : 0;
  const std::string one_pixel = std::string("\x02") + SubBlocks(std::string("\x4C\x01", 2));
  std::string gif = Header();
  if (kind == "long-codes" || kind == "long-codes-interlaced") {
    gif += Descriptor(kind != "long-codes", false);
    gif += '\x08';
    gif += SubBlocks(LongCodes(count > 0 ? static_cast<size_t>(count) : 10'000'000));
  } else if (kind == "comments") {
    for (long long i = 0; i < (count > 0 ? count : 3'000'000); ++i) {
      gif.append("!\xFE\0", 3);
    }
    gif += Descriptor(false, false) + one_pixel;
  } else if (kind == "frames") {
    for (long long i = 0; i < (count > 0 ? count : 200'000); ++i) {
      gif += Descriptor(false, true) + one_pixel;
    }
  } else {
    std::fprintf(stderr, "gif_hostile: unknown kind %s\n", kind.c_str());
    return 2;
  }
  gif += ';';
  std::ofstream(argv[2], std::ios::binary) << gif;
  return 0;
}
