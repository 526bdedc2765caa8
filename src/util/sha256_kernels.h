#pragma once
#include <cstddef>
#include <cstdint>

// The interchangeable SHA-256 compression methods behind Sha256. Each advances the eight state
// words (a to h of FIPS 180-4, 6.2.2) over `blocks` whole 64-byte message blocks at data.

namespace orv {

// The round constants K0 to K63 of FIPS 180-4, 4.2.2.
extern const uint32_t kSha256RoundConstants[64];

// The rounds written out in portable C++, one round at a time.
void Sha256BlocksPortable(uint32_t* state, const uint8_t* data, size_t blocks);

// Two rounds per instruction with the processor's SHA extensions. Call only when
// Sha256ShaniUsable(); in a build without them (not x86) it is the portable method.
void Sha256BlocksShani(uint32_t* state, const uint8_t* data, size_t blocks);

// False when this build lacks Sha256BlocksShani (not an x86 build); else true.
bool Sha256ShaniBuilt();

// False when the processor lacks the SHA extensions, SSSE3 or SSE4.1, or the build lacks the
// method; else true (read once with CPUID, then cached).
bool Sha256ShaniUsable();

}  // namespace orv
