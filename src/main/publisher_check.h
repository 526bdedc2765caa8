#pragma once
#include <cstdint>
#include <string>

#include "launch/signature_reading.h"
#include "util/sha256.h"

namespace orv {

// Why a downloaded file is or is not from the publisher a build pins.
enum class PublisherVerdict {
  Pinned,            // trusted signature by the pinned certificate
  Unsigned,          // the platform finds no signature in the file
  InvalidSignature,  // a signature the platform does not trust, or one without a known signer
  OtherPublisher,    // trusted signature by another certificate
};

// Unsigned, InvalidSignature or OtherPublisher (in that order of precedence) unless the platform
// trusts the signature and its signer's certificate hashes to pin; then Pinned.
[[nodiscard]] PublisherVerdict JudgePublisher(const SignatureReading& reading, const Sha256Digest& pin);

// Empty for Pinned; otherwise the reason logged after "Mismatch of the wrapper publisher: ", with
// the trust result in hexadecimal (e.g. "unsigned (trust result 0x800B0100)") or the signer's hash.
std::string PublisherMismatchReason(PublisherVerdict verdict, const SignatureReading& reading);

}  // namespace orv
