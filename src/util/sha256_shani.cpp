// Built with the SHA extensions and SSE4.1 enabled: nothing in this file may be reached before
// Sha256ShaniUsable() has confirmed them, and it defines no inline function shared with other files.
#include "util/sha256_kernels.h"

#if defined(_MSC_VER) && !defined(__clang__) && (defined(_M_IX86) || defined(_M_X64))
#define ORV_SHA256_SHANI 1
#elif defined(__SHA__) && defined(__SSE4_1__)
#define ORV_SHA256_SHANI 1
#endif

#ifdef ORV_SHA256_SHANI

#include <immintrin.h>

namespace orv {

bool Sha256ShaniBuilt() { return true; }

// The instructions keep the eight working variables in two registers, each word in a 32-bit lane
// from the highest lane down: (a, b, e, f) and (c, d, g, h). sha256rnds2 takes both and the sums
// W + K of the next two rounds in its third operand's two low lanes, and returns the new
// (a, b, e, f); the new (c, d, g, h) is the (a, b, e, f) it was given.
// Message words sit four to a register, the earliest in the lowest lane. From the four registers
// holding W[t-16] to W[t-1], sha256msg1 adds sigma0 of the next word to W[t-16..t-13], W[t-7..t-4]
// is added by hand, and sha256msg2 adds sigma1 of W[t-2], W[t-1] and of its own first results,
// giving W[t..t+3].
void Sha256BlocksShani(uint32_t* state, const uint8_t* data, size_t blocks) {
  // Message words are big-endian: reverse the bytes within each 32-bit lane.
  const __m128i byteSwap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  __m128i abef = _mm_set_epi32(static_cast<int>(state[0]), static_cast<int>(state[1]), static_cast<int>(state[4]),
                               static_cast<int>(state[5]));
  __m128i cdgh = _mm_set_epi32(static_cast<int>(state[2]), static_cast<int>(state[3]), static_cast<int>(state[6]),
                               static_cast<int>(state[7]));

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    // W[4q .. 4q+15] for the four rounds of step q.
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byteSwap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16)), byteSwap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32)), byteSwap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48)), byteSwap);
    for (int q = 0; q < 16; ++q) {
      const __m128i wk =
          _mm_add_epi32(w0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * q)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
      // The last four steps need no further words; computing them anyway keeps the loop plain,
      // and they run beside the rounds.
      const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4));
      const __m128i next = _mm_sha256msg2_epu32(partial, w3);
      w0 = w1;
      w1 = w2;
      w2 = w3;
      w3 = next;
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }

  uint32_t lanes[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), abef);
  state[0] = lanes[3], state[1] = lanes[2], state[4] = lanes[1], state[5] = lanes[0];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), cdgh);
  state[2] = lanes[3], state[3] = lanes[2], state[6] = lanes[1], state[7] = lanes[0];
}

}  // namespace orv

#else

namespace orv {

bool Sha256ShaniBuilt() { return false; }

void Sha256BlocksShani(uint32_t* state, const uint8_t* data, size_t blocks) {
  Sha256BlocksPortable(state, data, blocks);
}

}  // namespace orv

#endif
