#pragma once
// The benchmarks' input: the same pseudo-random bytes in every run.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace bench {

// size bytes from a Mersenne twister seeded with 42 (a tail under 8 bytes stays 0).
inline std::vector<uint8_t> RandomBytes(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::mt19937_64 random(42);
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    const uint64_t value = random();
    std::memcpy(&bytes[i], &value, 8);
  }
  return bytes;
}

}  // namespace bench
