#pragma once
#include <string>

namespace bed {

// The certificates the local HTTPS servers present.
enum class CertKind {
  Trusted,     // "localhost", issued by the test CA (trusted inside the test prefix)
  SelfSigned,  // "localhost", signed by its own key
  Expired,     // "localhost", issued by the test CA, validity ended yesterday
  WrongName,   // "wrong.example", issued by the test CA
};

// Code-signing certificates, both issued by the test CA.
enum class SignerKind {
  Publisher,       // "Orvandel Test Publisher"
  OtherPublisher,  // "Orvandel Other Publisher"
};

// Creates the test CA, one key and certificate per kind and one per signer kind in dir (PEM:
// ca.pem, <kind>.pem, <kind>.key; DER: ca.der). Returns false with a message in error when
// OpenSSL fails.
[[nodiscard]] bool MakeTestCertificates(const std::string& dir, std::string& error);

// File names inside the certificate folder for a kind.
std::string CertFile(const std::string& dir, CertKind kind);
std::string KeyFile(const std::string& dir, CertKind kind);
std::string CertFile(const std::string& dir, SignerKind kind);
std::string KeyFile(const std::string& dir, SignerKind kind);

}  // namespace bed
