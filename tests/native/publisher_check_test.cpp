// The pinned publisher's verdict over what the platform's trust verification reads of a file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "util/publisher_check.h"

namespace {

const Sha256Digest kPin = Sha256Of("pinned publisher", 16);
const Sha256Digest kOther = Sha256Of("pinned publishes", 16);

SignatureReading Reading(uint32_t trustResult, bool signerKnown, const Sha256Digest& signer = {}) {
  SignatureReading reading;
  reading.trustResult = static_cast<int32_t>(trustResult);
  reading.signerKnown = signerKnown;
  reading.signerSha256 = signer;
  return reading;
}

TEST(PublisherCheck, OnlyATrustedSignatureByThePinnedCertificatePasses) {
  struct Case {
    const char* name;
    SignatureReading reading;
    PublisherVerdict verdict;
    std::string reason;
  };
  const Case cases[] = {
      {"trusted, signed by the pinned certificate", Reading(0, true, kPin), PublisherVerdict::Pinned, ""},
      {"trusted, signed by a certificate one bit away", Reading(0, true, kOther), PublisherVerdict::OtherPublisher,
       "signed by another publisher (certificate SHA-256 " + Sha256Hex(kOther) + ")"},
      {"no signature", Reading(0x800B0100u, false), PublisherVerdict::Unsigned,
       "unsigned (trust result 0x800B0100)"},
      {"a kind of file that carries none", Reading(0x800B0003u, false), PublisherVerdict::Unsigned,
       "unsigned (trust result 0x800B0003)"},
      {"changed after signing", Reading(0x80096010u, false), PublisherVerdict::InvalidSignature,
       "signature invalid (trust result 0x80096010)"},
      {"untrusted root, though the pinned certificate signed", Reading(0x800B0109u, true, kPin),
       PublisherVerdict::InvalidSignature, "signature invalid (trust result 0x800B0109)"},
      {"revoked", Reading(0x800B010Cu, false), PublisherVerdict::InvalidSignature,
       "signature invalid (trust result 0x800B010C)"},
      {"trusted, but no signer could be read", Reading(0, false, kPin), PublisherVerdict::InvalidSignature,
       "signature invalid (no signer certificate)"},
      {"wintrust.dll could not be loaded", Reading(0x8007007Eu, false), PublisherVerdict::InvalidSignature,
       "signature invalid (trust result 0x8007007E)"},
      {"a success code other than 0 is no trust", Reading(1, true, kPin), PublisherVerdict::InvalidSignature,
       "signature invalid (trust result 0x00000001)"},
  };
  for (const Case& c : cases) {
    const PublisherVerdict verdict = JudgePublisher(c.reading, kPin);
    EXPECT_EQ(verdict, c.verdict) << c.name;
    EXPECT_EQ(PublisherMismatchReason(verdict, c.reading), c.reason) << c.name;
  }
}

}  // namespace
