#pragma once
#include <cstdint>

#include "util/sha256.h"

namespace orv {

// What the platform's trust verification says of one file's Authenticode signature.
struct SignatureReading {
  int32_t trustResult = 0;      // the verification's HRESULT: 0 when the platform trusts the signature
  bool signerKnown = false;     // signerSha256 holds the hash of the certificate that signed
  Sha256Digest signerSha256{};  // SHA-256 of that certificate's DER encoding
};

}  // namespace orv
