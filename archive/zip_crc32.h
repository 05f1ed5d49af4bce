#pragma once
// CRC-32 of entry data (the ZIP/zlib polynomial), continuing from `crc` like zlib's crc32().
// Carry-less multiplication folds 64 bytes per step where the processor has it: checking
// every extracted byte must not cost a tenth of the extraction.
#include <cstddef>
#include <cstdint>

namespace vlt {

std::uint32_t ZipCrc32(std::uint32_t crc, const void* data, size_t length);

}  // namespace vlt
