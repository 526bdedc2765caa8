#pragma once
#include <cstddef>
#include <cstdint>

namespace orv {

// The reflected CRC-32 of IEEE 802.3 (as zlib's crc32 and PNG; check value 0xCBF43926 over
// "123456789") of size bytes at data, continuing from crc, the CRC of the bytes before them
// (0 before the first byte). Crc32Update(Crc32Update(0, a), b) is the CRC of a followed by b.
// Uses carry-less multiplication when the processor has it; the result is the same either way.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

// The CRC-32 of one buffer of size bytes.
inline uint32_t Crc32(const void* data, size_t size) { return Crc32Update(0, data, size); }

}  // namespace orv
