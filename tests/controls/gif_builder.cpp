#include "tests/controls/gif_builder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace vlt::test {
namespace {

void Put16(std::string& s, int v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

void PutTable(std::string& s, int bits) {
  for (int i = 0; i < (1 << bits); ++i) {
    s += static_cast<char>(i * 1);
    s += static_cast<char>(i * 2);
    s += static_cast<char>(i * 3);
  }
}

}  // namespace

std::string PackCodes(const std::vector<std::pair<int, int>>& codes_and_widths) {
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (const auto& [code, width] : codes_and_widths) {
    buffer |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      out += static_cast<char>(buffer & 0xFF);
      buffer >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out += static_cast<char>(buffer & 0xFF);
  return out;
}

std::string EncodeIndices(const std::vector<std::uint8_t>& pixels, int lzw) {
  const int clear = 1 << lzw, width = lzw + 1;
  std::vector<std::pair<int, int>> codes{{clear, width}};
  // After a clear code the decoder adds one entry per code from the second on; it widens
  // when the next slot reaches 2^width.
  int slot = clear + 2;
  bool first = true;
  for (std::uint8_t p : pixels) {
    if (!first && slot + 1 >= (1 << width)) {
      codes.emplace_back(clear, width);
      slot = clear + 2;
      first = true;
    }
    codes.emplace_back(p, width);
    if (!first) ++slot;
    first = false;
  }
  codes.emplace_back(clear + 1, width);
  return PackCodes(codes);
}

std::string FullTableCodes(size_t bytes) {
  std::vector<std::pair<int, int>> codes{{256, 9}, {1, 9}};
  size_t bits = 18;
  int width = 9, slot = 258;
  while (slot < 4096) {
    codes.emplace_back(slot, width);
    bits += static_cast<size_t>(width);
    if (++slot >= (1 << width) && width < 12) ++width;
  }
  for (; bits < bytes * 8; bits += 12) codes.emplace_back(4095, 12);
  codes.emplace_back(257, 12);
  return PackCodes(codes);
}

std::string SubBlocks(const std::string& data) {
  std::string out;
  for (size_t at = 0; at < data.size(); at += 255) {
    const std::string part = data.substr(at, 255);
    out += static_cast<char>(part.size());
    out += part;
  }
  out += '\0';
  return out;
}

GifBuilder::GifBuilder(int width, int height, int table_bits, std::string signature)
    : bytes_(std::move(signature)) {
  Put16(bytes_, width);
  Put16(bytes_, height);
  bytes_ += static_cast<char>(table_bits > 0 ? 0x80 | 0x70 | (table_bits - 1) : 0);
  bytes_ += '\0';  // background
  bytes_ += '\0';  // aspect
  if (table_bits > 0) PutTable(bytes_, table_bits);
}

GifBuilder& GifBuilder::GraphicControl(int disposal, int delay, int transparent_index,
                                       bool transparent) {
  bytes_ += "!\xF9\x04";
  bytes_ += static_cast<char>((disposal & 7) << 2 | (transparent ? 1 : 0));
  Put16(bytes_, delay);
  bytes_ += static_cast<char>(transparent_index);
  bytes_ += '\0';
  return *this;
}

GifBuilder& GifBuilder::Netscape(const std::string& sub_block) {
  bytes_ += "!\xFF\x0BNETSCAPE2.0";
  bytes_ += static_cast<char>(sub_block.size());
  bytes_ += sub_block;
  bytes_ += '\0';
  return *this;
}

GifBuilder& GifBuilder::Image(const GifImageSpec& image) {
  bytes_ += ',';
  Put16(bytes_, image.left);
  Put16(bytes_, image.top);
  Put16(bytes_, image.width);
  Put16(bytes_, image.height);
  int packed = image.interlaced ? 0x40 : 0;
  if (image.local_table_bits > 0) packed |= 0x80 | (image.local_table_bits - 1);
  bytes_ += static_cast<char>(packed);
  if (image.local_table_bits > 0) PutTable(bytes_, image.local_table_bits);
  bytes_ += static_cast<char>(image.lzw);
  bytes_ += SubBlocks(image.data);
  return *this;
}

std::string GifBuilder::Trailer() const {
  std::string bytes = bytes_ + ";";
  if (const char* seeds = std::getenv("VLT_GIF_SEED_DIR")) {
    // Named by content: the same file built twice is one seed.
    char name[48];
    std::snprintf(name, sizeof(name), "/%016zx-%zu.gif", std::hash<std::string>()(bytes),
                  bytes.size());
    std::ofstream(std::string(seeds) + name, std::ios::binary) << bytes;
  }
  return bytes;
}

GifBuilder& GifBuilder::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

}  // namespace vlt::test
