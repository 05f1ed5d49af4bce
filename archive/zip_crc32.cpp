#include "archive/zip_crc32.h"

#include <zlib.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VLT_CRC32_CLMUL 1
#endif

namespace vlt {
namespace {

std::uint32_t ZlibCrc32(std::uint32_t crc, const unsigned char* p, size_t length) {
  return static_cast<std::uint32_t>(crc32_z(crc, p, length));
}

#ifdef VLT_CRC32_CLMUL

#define VLT_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

VLT_CLMUL_TARGET inline __m128i Load(const unsigned char* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// x * k (both 64-bit halves) folded onto the next 128 bits.
VLT_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), next),
                       _mm_clmulepi64_si128(x, k, 0x00));
}

// Folding with PCLMULQDQ over the bit-reflected polynomial 0xEDB88320: four 128-bit lanes
// folded 64 bytes at a time, then into one lane, then reduced to 32 bits (Barrett). `state`
// is the inverted CRC; `length` is at least 64 and a multiple of 16.
VLT_CLMUL_TARGET std::uint32_t FoldCrc32(std::uint32_t state, const unsigned char* p,
                                         size_t length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);

  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x1 = Fold(x1, k1k2, Load(p));
    x2 = Fold(x2, k1k2, Load(p + 16));
    x3 = Fold(x3, k1k2, Load(p + 32));
    x4 = Fold(x4, k1k2, Load(p + 48));
    p += 64;
    length -= 64;
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  while (length >= 16) {
    x1 = Fold(x1, k3k4, Load(p));
    p += 16;
    length -= 16;
  }

  // 128 bits to 64.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x2b = _mm_clmulepi64_si128(x1, k3k4, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
  x2b = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, low32);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k5k0, 0x00), x2b);

  // Barrett reduction to 32 bits.
  x2b = _mm_and_si128(x1, low32);
  x2b = _mm_clmulepi64_si128(x2b, poly, 0x10);
  x2b = _mm_and_si128(x2b, low32);
  x2b = _mm_clmulepi64_si128(x2b, poly, 0x00);
  x1 = _mm_xor_si128(x1, x2b);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#endif

}  // namespace

std::uint32_t ZipCrc32(std::uint32_t crc, const void* data, size_t length) {
  const auto* p = static_cast<const unsigned char*>(data);
#ifdef VLT_CRC32_CLMUL
  if (length >= 64 && HasClmul()) {
    const size_t folded = length & ~static_cast<size_t>(15);
    crc = ~FoldCrc32(~crc, p, folded);
    p += folded;
    length -= folded;
  }
#endif
  return ZlibCrc32(crc, p, length);
}

}  // namespace vlt
