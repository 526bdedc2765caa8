#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

// A SHA-256 digest (FIPS 180-4), 32 bytes in the order the standard writes them.
using Sha256Digest = std::array<uint8_t, 32>;

// How the message blocks are compressed: advances the eight state words over `blocks` whole
// 64-byte blocks at data. Every method gives the same digest (see util/sha256_kernels.h).
using Sha256BlockMethod = void (*)(uint32_t* state, const uint8_t* data, size_t blocks);

// SHA-256 computed over data given in pieces of any size.
class Sha256 {
 public:
  // With the fastest method this processor runs: its SHA extensions when it has them.
  Sha256();
  // With the given method (tests and benchmarks compare the methods).
  explicit Sha256(Sha256BlockMethod method);
  // Adds size bytes at data after those added before; any number of calls, any sizes.
  void Update(const void* data, size_t size);
  // The digest of every byte added; the object is then reset for a new message.
  Sha256Digest Finish();

 private:
  Sha256BlockMethod method_;
  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_;
  size_t pendingSize_ = 0;
  uint64_t totalBytes_ = 0;
};

// The digest of one buffer of size bytes.
Sha256Digest Sha256Of(const void* data, size_t size);

// False, digest untouched, when text is not exactly 64 hexadecimal digits (either case); else
// true with the digest those digits spell.
[[nodiscard]] bool ParseSha256Hex(const std::wstring& text, Sha256Digest& digest);

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const Sha256Digest& digest);

}  // namespace orv
