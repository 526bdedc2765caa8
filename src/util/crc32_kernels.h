#pragma once
#include <cstddef>
#include <cstdint>

namespace orv {

// The interchangeable CRC-32 methods behind Crc32Update. Each advances the raw CRC register (the
// complement of the CRC so far; 0xFFFFFFFF before the first byte) over size bytes at data.

// One table look-up per byte.
uint32_t Crc32BytewiseRaw(uint32_t reg, const uint8_t* data, size_t size);

// Eight table look-ups per eight bytes (slicing); bytewise for the rest.
uint32_t Crc32SlicingRaw(uint32_t reg, const uint8_t* data, size_t size);

// Folding with carry-less multiplication, 64 bytes per step. Call only when Crc32ClmulUsable().
uint32_t Crc32ClmulRaw(uint32_t reg, const uint8_t* data, size_t size);

// True when this build contains Crc32ClmulRaw (an x86 build with the instructions enabled).
bool Crc32ClmulBuilt();

// True when Crc32ClmulRaw is built and the processor reports PCLMULQDQ and SSE4.1 (cached).
bool Crc32ClmulUsable();

}  // namespace orv
