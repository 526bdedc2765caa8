#pragma once
// The configuration's signature document ("<document>.sig") and the rule that accepts it: the
// document's exact bytes, signed by one of the keys built into the stub.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "config/config_keys.h"
#include "util/sha256.h"

namespace orv {

// An ECDSA P-256 signature: r, then s, 32 big-endian bytes each.
using P256Signature = std::array<uint8_t, 64>;

// Largest signature document accepted, in bytes.
inline constexpr std::size_t kMaxSignatureBytes = 4096;

// What is signed: these bytes, then the configuration document's exact bytes.
inline constexpr char kSignedMessagePrefix[] = "orvsetup-config-v1\n";

// The ECDSA P-256 check itself, made by the platform: CNG in the stub, OpenSSL in orvpublish.
class P256Verifier {
 public:
  virtual ~P256Verifier() = default;
  // Failure (the platform's code) when the check cannot be made (no provider, the key refused);
  // otherwise whether signature is key's signature over digest.
  [[nodiscard]] virtual Result<bool> Verify(const P256PublicKey& key, const Sha256Digest& digest,
                                            const P256Signature& signature) = 0;
};

// One "key <key id> <signature>" line.
struct SignatureLine {
  std::string keyId;  // 16 lowercase hexadecimal digits
  P256Signature signature;
};

// A signature document as read.
struct SignatureDocument {
  Sha256Digest documentSha256{};     // the "sha256" line: the configuration's bytes
  std::vector<SignatureLine> lines;  // 1 to kMaxConfigKeys
};

// Failure (detail: the rule the text breaks, with its line number) unless text is at most
// kMaxSignatureBytes of ASCII lines, each ended by LF or CR LF: "orvsig 1", "sha256 <64 hex
// digits>", then 1 to kMaxConfigKeys lines "key <16 lowercase hex digits> <128 hex digits>".
[[nodiscard]] Result<SignatureDocument> ParseSignatureDocument(std::string_view text);

// The document in that form, LF line ends.
std::string FormatSignatureDocument(const SignatureDocument& document);

// The SHA-256 of kSignedMessagePrefix followed by document: the digest the keys sign.
Sha256Digest SignedMessageDigest(std::string_view document);

// A RunError::ConfigParse failure naming the rule that refused (the form, the "sha256" line, no
// line of one of keys, none that verifies, a check that cannot be made); otherwise the id of the
// first of keys whose line verifies over document's exact bytes. Lines of other keys are skipped.
[[nodiscard]] Result<std::string> JudgeSignature(std::string_view document, std::string_view signature,
                                                 const std::vector<P256PublicKey>& keys, P256Verifier& verifier);

}  // namespace orv
