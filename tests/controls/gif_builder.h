#pragma once
// GIF bytes for the tests, built piece by piece so that a fixture can be broken in exactly one
// place.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vlt::test {

// Codes of the given widths, packed lowest bit first, as GIF image data (without sub-blocks).
std::string PackCodes(const std::vector<std::pair<int, int>>& codes_and_widths);

// `pixels` (indices below 2^lzw) as a code stream the decoder reads back exactly: a clear
// code first, then one root code per pixel, a clear code again before the code width would
// grow, and the end code.
std::string EncodeIndices(const std::vector<std::uint8_t>& pixels, int lzw);

// A code stream for minimum code size 8 that fills the string table without a clear code
// (each code the one being defined: a string of one more index 1 each time) and then repeats
// its last entry, 3839 pixels of index 1, until it is `bytes` long; then the end code.
std::string FullTableCodes(size_t bytes);

// Data split into sub-blocks of at most 255 bytes, with the 0 terminator.
std::string SubBlocks(const std::string& data);

struct GifImageSpec {
  int left = 0, top = 0, width = 1, height = 1;
  bool interlaced = false;
  int local_table_bits = 0;  // 0: none; else 2^bits entries
  int lzw = 2;
  std::string data;  // the code stream; SubBlocks() is applied
};

class GifBuilder {
 public:
  // Header and logical screen; a global table of 2^table_bits entries (0: none) whose entry i
  // is red i, green 2i, blue 3i (colour i * 0x030201).
  GifBuilder(int width, int height, int table_bits, std::string signature = "GIF89a");
  GifBuilder& GraphicControl(int disposal, int delay, int transparent_index, bool transparent);
  GifBuilder& Netscape(const std::string& sub_block);
  GifBuilder& Image(const GifImageSpec& image);
  GifBuilder& Raw(const std::string& bytes);
  // The finished file; also kept as a fuzz seed when VLT_GIF_SEED_DIR names a directory.
  std::string Trailer() const;
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace vlt::test
