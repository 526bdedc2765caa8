#pragma once
// orvpublish's keys: making them and signing with them (OpenSSL's libcrypto; the Windows build
// has none and says so), and the ECDSA check behind the stub's rules.
#include <string>

#include "config/config_signature.h"

namespace orv {

// False with error ("... needs OpenSSL ...") in builds that cannot sign.
[[nodiscard]] bool CanSign(std::string& error);

// False with error when a file exists or cannot be written. Otherwise true: a new P-256 key pair,
// the private key in name.key.pem (PKCS#8 PEM, mode 0600) and the public one in name.pub.pem,
// with key = the public key.
[[nodiscard]] bool MakeKeyPair(const std::string& name, P256PublicKey& key, std::string& error);

// False with error when path is not a readable P-256 private key in PEM or signing fails.
// Otherwise true with key = its public key and signature = its ECDSA signature (r then s) of digest.
[[nodiscard]] bool SignDigest(const std::string& path, const Sha256Digest& digest, P256PublicKey& key,
                              P256Signature& signature, std::string& error);

// The ECDSA P-256 check the commands hand to the stub's rules: OpenSSL natively, CNG on Windows.
P256Verifier& ToolVerifier();

}  // namespace orv
