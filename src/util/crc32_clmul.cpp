// Built with PCLMULQDQ and SSE4.1 enabled: nothing in this file may be reached before
// Crc32ClmulUsable() has confirmed them, and it defines no inline function shared with other files.
#include "util/crc32_kernels.h"
#include "util/crc32_tables.h"

#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
#define ORV_CRC32_CLMUL 1
#elif defined(__PCLMUL__) && defined(__SSE4_1__)
#define ORV_CRC32_CLMUL 1
#endif

#ifdef ORV_CRC32_CLMUL
#include <immintrin.h>
#include <wmmintrin.h>
#endif

namespace orv {

#ifdef ORV_CRC32_CLMUL

bool Crc32ClmulBuilt() { return true; }

namespace {

// A 128-bit lane holds 128 message bits, its first byte the highest powers. Moving the lane
// `distance` bits further towards the end multiplies its first half H by x^(distance + 64) and its
// second half L by x^distance. The 64x64 carry-less product of reflected operands carries one extra
// factor x, and a constant kept in the low 32 bits another x^32: hence the exponents below.
constexpr uint32_t FoldFirstHalf(unsigned distance) { return Crc32XPowMod(distance + 64 - 33); }
constexpr uint32_t FoldSecondHalf(unsigned distance) { return Crc32XPowMod(distance - 33); }

__m128i FoldConstants(unsigned distance) {
  return _mm_set_epi32(0, static_cast<int>(FoldSecondHalf(distance)), 0, static_cast<int>(FoldFirstHalf(distance)));
}

__m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// lane moved forward by the distance of `constants`, added to next.
__m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  const __m128i first = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i second = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(first, second), next);
}

constexpr size_t kBlock = 64;
constexpr size_t kLane = 16;

}  // namespace

uint32_t Crc32ClmulRaw(uint32_t reg, const uint8_t* data, size_t size) {
  if (size < kBlock) return Crc32SlicingRaw(reg, data, size);

  // The register enters as the complement of the first four bytes.
  __m128i a0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i a1 = Load(data + 16);
  __m128i a2 = Load(data + 32);
  __m128i a3 = Load(data + 48);
  data += kBlock;
  size -= kBlock;

  const __m128i byBlock = FoldConstants(8 * kBlock);
  while (size >= kBlock) {
    a0 = Fold(a0, byBlock, Load(data));
    a1 = Fold(a1, byBlock, Load(data + 16));
    a2 = Fold(a2, byBlock, Load(data + 32));
    a3 = Fold(a3, byBlock, Load(data + 48));
    data += kBlock;
    size -= kBlock;
  }

  const __m128i byLane = FoldConstants(8 * kLane);
  __m128i acc = Fold(a0, byLane, a1);
  acc = Fold(acc, byLane, a2);
  acc = Fold(acc, byLane, a3);
  while (size >= kLane) {
    acc = Fold(acc, byLane, Load(data));
    data += kLane;
    size -= kLane;
  }

  // acc is congruent to everything so far; its CRC from a zero register is the register here.
  uint8_t lane[kLane];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lane), acc);
  return Crc32SlicingRaw(Crc32SlicingRaw(0, lane, kLane), data, size);
}

#else

bool Crc32ClmulBuilt() { return false; }

uint32_t Crc32ClmulRaw(uint32_t reg, const uint8_t* data, size_t size) { return Crc32SlicingRaw(reg, data, size); }

#endif

}  // namespace orv
