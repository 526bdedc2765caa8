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

// Creates the test CA and one key and certificate per kind in dir (PEM: ca.pem, <kind>.pem,
// <kind>.key; DER: ca.der). Returns false with a message in error when OpenSSL fails.
[[nodiscard]] bool MakeTestCertificates(const std::string& dir, std::string& error);

// File names inside the certificate folder for a kind.
std::string CertFile(const std::string& dir, CertKind kind);
std::string KeyFile(const std::string& dir, CertKind kind);

}  // namespace bed
