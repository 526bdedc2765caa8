#pragma once
// The publisher's P-256 public keys: read from PEM, and named by their key id.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace orv {

// A P-256 public key as its uncompressed point: 0x04, then X and Y, 32 bytes each, big-endian.
using P256PublicKey = std::array<uint8_t, 65>;

// Most keys a build carries and most key lines a signature document may hold.
inline constexpr std::size_t kMaxConfigKeys = 4;

// Failure (detail: which block and why) when pem is not 1 to kMaxConfigKeys
// "-----BEGIN PUBLIC KEY-----" blocks of P-256 SubjectPublicKeyInfo with an uncompressed point,
// one after another (only blank space between them); otherwise the keys in the text's order.
[[nodiscard]] Result<std::vector<P256PublicKey>> ReadPublicKeysPem(std::string_view pem);

// The key id: the first 8 bytes of the SHA-256 of the 65-byte point, as 16 lowercase hex digits.
std::string ConfigKeyId(const P256PublicKey& key);

// Failure (detail: why) when der is not a P-256 SubjectPublicKeyInfo with an uncompressed
// point; otherwise that point.
[[nodiscard]] Result<P256PublicKey> ReadPublicKeyDer(std::string_view der);

// The key as one PEM "PUBLIC KEY" block (64-character lines, LF endings).
std::string PublicKeyPem(const P256PublicKey& key);

// Failure when text holds anything but base64 (whitespace between groups allowed) or its padding
// is wrong; otherwise the bytes it spells.
[[nodiscard]] Result<std::string> DecodeBase64(std::string_view text);

// bytes in base64 with padding, on one line.
std::string EncodeBase64(std::string_view bytes);

}  // namespace orv
