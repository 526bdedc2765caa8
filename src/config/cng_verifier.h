#pragma once
// The ECDSA P-256 check through the platform's CNG (bcrypt.dll, loaded from System32).
#include "config/config_signature.h"

namespace orv {

// Checks signatures with BCryptVerifySignature on a key imported as a BCRYPT_ECCPUBLIC_BLOB.
class CngP256Verifier final : public P256Verifier {
 public:
  // A failure (the NTSTATUS or the loader's error) when bcrypt.dll, the ECDSA P-256 provider or
  // the key cannot be had; otherwise whether the platform accepts signature.
  Result<bool> Verify(const P256PublicKey& key, const Sha256Digest& digest, const P256Signature& signature) override;
};

}  // namespace orv
