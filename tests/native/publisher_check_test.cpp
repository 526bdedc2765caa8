// The pinned publisher's verdict over what the platform's trust verification reads of a file.
#include <gtest/gtest.h>

#include "main/publisher_check.h"

namespace {
using namespace orv;

const Sha256Digest kPin = Sha256Of("pinned publisher", 16);
const Sha256Digest kOther = Sha256Of("pinned publishes", 16);

TEST(PublisherCheck, OnlyATrustedSignatureByThePinnedCertificatePasses) {
  struct Case {
    uint32_t trustResult;
    bool signerKnown;
    Sha256Digest signer;
    PublisherVerdict verdict;
    std::string reason;
  };
  const Case cases[] = {
      {0, true, kPin, PublisherVerdict::Pinned, ""},
      {0, true, kOther, PublisherVerdict::OtherPublisher,
       "signed by another publisher (certificate SHA-256 " + Sha256Hex(kOther) + ")"},
      {0x800B0100u, false, {}, PublisherVerdict::Unsigned, "unsigned (trust result 0x800B0100)"},
      {0x800B0003u, false, {}, PublisherVerdict::Unsigned, "unsigned (trust result 0x800B0003)"},
      {0x80096010u, false, {}, PublisherVerdict::InvalidSignature, "signature invalid (trust result 0x80096010)"},
      // An untrusted root, a revoked certificate, or any other failure, even when the pinned one signed.
      {0x800B0109u, true, kPin, PublisherVerdict::InvalidSignature, "signature invalid (trust result 0x800B0109)"},
      {0, false, kPin, PublisherVerdict::InvalidSignature, "signature invalid (no signer certificate)"},
  };
  for (const Case& c : cases) {
    SignatureReading reading;
    reading.trustResult = static_cast<int32_t>(c.trustResult);
    reading.signerKnown = c.signerKnown;
    reading.signerSha256 = c.signer;
    const PublisherVerdict verdict = JudgePublisher(reading, kPin);
    EXPECT_EQ(verdict, c.verdict) << c.reason;
    EXPECT_EQ(PublisherMismatchReason(verdict, reading), c.reason);
  }
}

}  // namespace
