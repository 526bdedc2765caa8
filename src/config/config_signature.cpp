#include "config/config_signature.h"

#include "contract/run_error.h"

#include <optional>

namespace orv {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False unless text is exactly out.size() * 2 hexadecimal digits (either case).
template <std::size_t N>
bool ReadHex(std::string_view text, std::array<uint8_t, N>& out) {
  if (text.size() != N * 2) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool IsLowerHex(std::string_view text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string Hex(const uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text;
}

Status Malformed(std::size_t line, const std::string& why) {
  return Status::Error(RunError::ConfigParse, "line " + std::to_string(line) + ": " + why);
}

Status Refused(const std::string& why) { return Status::Error(RunError::ConfigParse, why); }

}  // namespace

Result<SignatureDocument> ParseSignatureDocument(std::string_view text) {
  if (text.size() > kMaxSignatureBytes) {
    return Refused("the signature is larger than " + std::to_string(kMaxSignatureBytes) + " bytes");
  }
  if (text.empty()) return Refused("the signature is empty");
  SignatureDocument document;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return Malformed(number, "does not end in a line feed");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const char c : line) {
      if (c < 0x20 || c > 0x7E) return Malformed(number, "holds a byte that is not printable ASCII");
    }
    if (number == 1) {
      if (line != "orvsig 1") return Malformed(number, "is not \"orvsig 1\"");
    } else if (number == 2) {
      if (line.substr(0, 7) != "sha256 " || !ReadHex(line.substr(7), document.documentSha256)) {
        return Malformed(number, "is not \"sha256 \" and 64 hexadecimal digits");
      }
    } else {
      if (document.lines.size() == kMaxConfigKeys) {
        return Malformed(number, "more than " + std::to_string(kMaxConfigKeys) + " key lines");
      }
      SignatureLine key;
      if (line.size() != 4 + 16 + 1 + 128 || line.substr(0, 4) != "key " || line[20] != ' ' ||
          !IsLowerHex(line.substr(4, 16)) || !ReadHex(line.substr(21), key.signature)) {
        return Malformed(number, "is not \"key \", a key id of 16 lowercase hexadecimal digits, a space and a signature of 128 hexadecimal digits");
      }
      key.keyId = std::string(line.substr(4, 16));
      document.lines.push_back(std::move(key));
    }
  }
  if (number < 2) return Refused("the signature has no \"sha256\" line");
  if (document.lines.empty()) return Refused("the signature has no key line");
  return document;
}

std::string FormatSignatureDocument(const SignatureDocument& document) {
  std::string text = "orvsig 1\nsha256 " + Hex(document.documentSha256.data(), document.documentSha256.size()) + "\n";
  for (const SignatureLine& line : document.lines) {
    text += "key " + line.keyId + " " + Hex(line.signature.data(), line.signature.size()) + "\n";
  }
  return text;
}

Sha256Digest SignedMessageDigest(std::string_view document) {
  Sha256 sha;
  sha.Update(kSignedMessagePrefix, sizeof(kSignedMessagePrefix) - 1);
  sha.Update(document.data(), document.size());
  return sha.Finish();
}

Result<std::string> JudgeSignature(std::string_view document, std::string_view signature,
                                   const std::vector<P256PublicKey>& keys, P256Verifier& verifier) {
  const Result<SignatureDocument> read = ParseSignatureDocument(signature);
  if (!read.ok()) return read.status();
  if (read->documentSha256 != Sha256Of(document.data(), document.size())) {
    return Refused("its sha256 line does not match the configuration's bytes");
  }
  const Sha256Digest digest = SignedMessageDigest(document);
  bool named = false;
  std::optional<Status> unchecked;
  for (const SignatureLine& line : read->lines) {
    for (const P256PublicKey& key : keys) {
      if (ConfigKeyId(key) != line.keyId) continue;
      named = true;
      const Result<bool> verified = verifier.Verify(key, digest, line.signature);
      if (!verified.ok()) {
        unchecked = verified.status();
      } else if (*verified) {
        return line.keyId;
      }
    }
  }
  if (unchecked) {
    return Status::Error(RunError::ConfigParse, "the signature could not be checked: " + unchecked->detail(),
                         unchecked->code());
  }
  if (!named) return Refused("no key line names a key of this stub");
  return Refused("no signature by a key of this stub verifies");
}

}  // namespace orv
