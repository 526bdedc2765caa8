#include "main/publisher_check.h"

namespace orv {

namespace {

// The trust results that mean "there is no signature to check" (WinTrust.h): TRUST_E_NOSIGNATURE,
// and TRUST_E_SUBJECT_FORM_UNKNOWN for a file of a kind that cannot carry one.
constexpr uint32_t kNoSignature = 0x800B0100u;
constexpr uint32_t kSubjectFormUnknown = 0x800B0003u;

std::string TrustResultText(int32_t result) {
  static const char kDigits[] = "0123456789ABCDEF";
  const uint32_t value = static_cast<uint32_t>(result);
  std::string text = "trust result 0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 15u];
  return text;
}

}  // namespace

PublisherVerdict JudgePublisher(const SignatureReading& reading, const Sha256Digest& pin) {
  const uint32_t result = static_cast<uint32_t>(reading.trustResult);
  if (result == kNoSignature || result == kSubjectFormUnknown) return PublisherVerdict::Unsigned;
  if (result != 0 || !reading.signerKnown) return PublisherVerdict::InvalidSignature;
  if (reading.signerSha256 != pin) return PublisherVerdict::OtherPublisher;
  return PublisherVerdict::Pinned;
}

std::string PublisherMismatchReason(PublisherVerdict verdict, const SignatureReading& reading) {
  switch (verdict) {
    case PublisherVerdict::Pinned: return {};
    case PublisherVerdict::Unsigned: return "unsigned (" + TrustResultText(reading.trustResult) + ")";
    case PublisherVerdict::InvalidSignature:
      return reading.trustResult == 0 ? "signature invalid (no signer certificate)"
                                      : "signature invalid (" + TrustResultText(reading.trustResult) + ")";
    case PublisherVerdict::OtherPublisher:
      return "signed by another publisher (certificate SHA-256 " + Sha256Hex(reading.signerSha256) + ")";
  }
  return {};
}

}  // namespace orv
