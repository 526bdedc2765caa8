#include "publish_keys.h"

#include "config/cng_verifier.h"

namespace orv {

namespace {
constexpr char kNeedsOpenSsl[] =
    "signing needs OpenSSL's libcrypto, which this build of orvpublish lacks: make keys and sign with the Linux "
    "build; this one checks signatures (check, verify --pub)";
}  // namespace

bool CanSign(std::string& error) {
  error = kNeedsOpenSsl;
  return false;
}

bool MakeKeyPair(const std::string&, P256PublicKey&, std::string& error) { return CanSign(error); }

bool SignDigest(const std::string&, const Sha256Digest&, P256PublicKey&, P256Signature&, std::string& error) {
  return CanSign(error);
}

P256Verifier& ToolVerifier() {
  static CngP256Verifier verifier;
  return verifier;
}

}  // namespace orv
