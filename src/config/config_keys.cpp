#include "config/config_keys.h"

#include <cstring>

#include "util/sha256.h"

namespace orv {
namespace {

constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// SubjectPublicKeyInfo of id-ecPublicKey on prime256v1 up to the point: SEQUENCE { SEQUENCE {
// OID 1.2.840.10045.2.1, OID 1.2.840.10045.3.1.7 }, BIT STRING (66 bytes, no unused bits) }.
constexpr uint8_t kSpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01,
                                   0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlank(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int Base64Value(char c) {
  const char* found = c == 0 ? nullptr : std::strchr(kAlphabet, c);
  return found ? static_cast<int>(found - kAlphabet) : -1;
}

}  // namespace

Result<std::string> DecodeBase64(std::string_view text) {
  std::string bytes;
  uint32_t bits = 0;
  int count = 0;    // characters of the current group of four
  int padding = 0;  // '=' seen
  for (const char c : text) {
    if (IsBlank(c)) continue;
    if (c == '=') {
      if (count < 2 || ++padding > 2) return Status::Failure(0, "misplaced '=' in base64");
      bits <<= 6;
      if (++count == 4) {
        // A padded group ends the text: one '=' leaves two bytes, two leave one.
        bytes.push_back(static_cast<char>((bits >> 16) & 0xFF));
        if (padding == 1) bytes.push_back(static_cast<char>((bits >> 8) & 0xFF));
        count = 0;
        bits = 0;
      }
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return Status::Failure(0, "not base64");
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      bytes.push_back(static_cast<char>((bits >> 16) & 0xFF));
      bytes.push_back(static_cast<char>((bits >> 8) & 0xFF));
      bytes.push_back(static_cast<char>(bits & 0xFF));
      count = 0;
      bits = 0;
    }
  }
  if (count != 0) return Status::Failure(0, "base64 cut short");
  return bytes;
}

std::string EncodeBase64(std::string_view bytes) {
  std::string text;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (uint32_t{static_cast<uint8_t>(bytes[i])} << 16) |
                           (uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8) | static_cast<uint8_t>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) text.push_back(kAlphabet[(group >> shift) & 63]);
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t group = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (left == 2) group |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    text.push_back(kAlphabet[(group >> 18) & 63]);
    text.push_back(kAlphabet[(group >> 12) & 63]);
    text.push_back(left == 2 ? kAlphabet[(group >> 6) & 63] : '=');
    text.push_back('=');
  }
  return text;
}

Result<P256PublicKey> ReadPublicKeyDer(std::string_view der) {
  if (der.size() != sizeof(kSpkiPrefix) + 65 || std::memcmp(der.data(), kSpkiPrefix, sizeof(kSpkiPrefix)) != 0) {
    return Status::Failure(0, "not a P-256 public key");
  }
  P256PublicKey key{};
  std::memcpy(key.data(), der.data() + sizeof(kSpkiPrefix), key.size());
  if (key[0] != 0x04) return Status::Failure(0, "not an uncompressed P-256 point");
  return key;
}

Result<std::vector<P256PublicKey>> ReadPublicKeysPem(std::string_view pem) {
  std::vector<P256PublicKey> keys;
  std::string_view rest = TrimBlank(pem);
  while (!rest.empty()) {
    const std::string number = "key " + std::to_string(keys.size() + 1) + ": ";
    if (keys.size() == kMaxConfigKeys) {
      return Status::Failure(0, "more than " + std::to_string(kMaxConfigKeys) + " keys");
    }
    if (rest.substr(0, kBegin.size()) != kBegin) return Status::Failure(0, number + "no \"" + std::string(kBegin) + "\"");
    rest.remove_prefix(kBegin.size());
    const std::size_t end = rest.find(kEnd);
    if (end == std::string_view::npos) return Status::Failure(0, number + "no \"" + std::string(kEnd) + "\"");
    const Result<std::string> der = DecodeBase64(rest.substr(0, end));
    if (!der.ok()) return Status::Failure(0, number + der.status().detail());
    const Result<P256PublicKey> key = ReadPublicKeyDer(*der);
    if (!key.ok()) return Status::Failure(0, number + key.status().detail());
    keys.push_back(*key);
    rest = TrimBlank(rest.substr(end + kEnd.size()));
  }
  if (keys.empty()) return Status::Failure(0, "no public key");
  return keys;
}

std::string ConfigKeyId(const P256PublicKey& key) {
  const Sha256Digest digest = Sha256Of(key.data(), key.size());
  return Sha256Hex(digest).substr(0, 16);
}

std::string PublicKeyPem(const P256PublicKey& key) {
  std::string der(reinterpret_cast<const char*>(kSpkiPrefix), sizeof(kSpkiPrefix));
  der.append(reinterpret_cast<const char*>(key.data()), key.size());
  const std::string body = EncodeBase64(der);
  std::string pem = std::string(kBegin) + "\n";
  for (std::size_t i = 0; i < body.size(); i += 64) pem += body.substr(i, 64) + "\n";
  return pem + std::string(kEnd) + "\n";
}

}  // namespace orv
