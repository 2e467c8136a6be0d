#include "unzip/decoders/Crc32.h"

#include <zlib.h>

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define UNZIP_CRC_FOLDING 1
#endif

namespace unzip {
namespace {

uint32_t ZlibCrc32(uint32_t crc, const uint8_t* data, size_t n) {
  while (n > 0) {
    const auto piece = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
    crc = static_cast<uint32_t>(crc32(crc, data, piece));
    data += piece;
    n -= piece;
  }
  return crc;
}

#ifdef UNZIP_CRC_FOLDING

// Folding with carry-less multiplication: the data is reduced 64 bytes at a time to a
// 128-bit value that leaves the same remainder modulo the CRC polynomial, multiplying
// the older half of each 128-bit lane by x^(d+64) mod P and the newer half by x^d mod P
// (bit-reflected, as the zip CRC is); the last 128 bits and the tail then go through
// the table routine. The constants are those powers for folding distances of 512 and
// 128 bits.
constexpr long long kFold512Low = 0x154442bd4LL, kFold512High = 0x1c6e41596LL;
constexpr long long kFold128Low = 0x1751997d0LL, kFold128High = 0x0ccaa009eLL;

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00),
                                     _mm_clmulepi64_si128(x, k, 0x11)),
                       next);
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// n >= 64.
__attribute__((target("pclmul,sse2"))) uint32_t FoldingCrc32(uint32_t crc, const uint8_t* p,
                                                             size_t n) {
  const __m128i k512 = _mm_set_epi64x(kFold512High, kFold512Low);
  const __m128i k128 = _mm_set_epi64x(kFold128High, kFold128Low);
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; p += 64, n -= 64) {
    x0 = Fold(x0, k512, Load(p));
    x1 = Fold(x1, k512, Load(p + 16));
    x2 = Fold(x2, k512, Load(p + 32));
    x3 = Fold(x3, k512, Load(p + 48));
  }
  x0 = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
  for (; n >= 16; p += 16, n -= 16) x0 = Fold(x0, k128, Load(p));
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x0);
  // The folded value stands for everything read so far, starting from a register of 0
  // (zlib's convention: an initial CRC of 0xFFFFFFFF), and goes on with the tail.
  return ZlibCrc32(ZlibCrc32(0xFFFFFFFFu, rest, 16), p, n);
}

bool CpuCanFold() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t n) {
#ifdef UNZIP_CRC_FOLDING
  static const bool canFold = CpuCanFold();
  // Below a few blocks the table routine is as fast.
  if (canFold && n >= 256) return FoldingCrc32(crc, data, n);
#endif
  return ZlibCrc32(crc, data, n);
}

}  // namespace unzip
