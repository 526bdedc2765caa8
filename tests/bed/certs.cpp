#include "certs.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <utility>

namespace bed {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertDeleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;

const char* KindName(CertKind kind) {
  switch (kind) {
    case CertKind::Trusted: return "trusted";
    case CertKind::SelfSigned: return "selfsigned";
    case CertKind::Expired: return "expired";
    case CertKind::WrongName: return "wrongname";
  }
  return "unknown";
}

const char* KindName(SignerKind kind) {
  return kind == SignerKind::Publisher ? "publisher" : "otherpublisher";
}

enum class Role { Ca, Server, CodeSigning };

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) return false;
  const bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

// A certificate for subject (common name cn) valid from notBefore to notAfter seconds from now.
Cert MakeCert(EVP_PKEY* key, const char* cn, X509* issuer, EVP_PKEY* issuerKey, long serial, long notBefore,
              long notAfter, Role role) {
  Cert cert(X509_new());
  if (!cert) return nullptr;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), notAfter);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Orvandel Test"), -1,
                             -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn), -1, -1, 0);
  X509* signer = issuer ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  bool ok = true;
  if (role == Role::Ca) {
    ok = AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
         AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
         AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  } else if (role == Role::CodeSigning) {
    ok = AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE") &&
         AddExtension(cert.get(), signer, NID_ext_key_usage, "critical,codeSigning") &&
         AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature");
  } else {
    const std::string san = std::string("DNS:") + cn;
    ok = AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE") &&
         AddExtension(cert.get(), signer, NID_subject_alt_name, san.c_str()) &&
         AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
         AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
  }
  if (!ok) return nullptr;
  if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0) return nullptr;
  return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = cert ? PEM_write_X509(file, cert) == 1
                       : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return std::fclose(file) == 0 && ok;
}

bool WriteDer(const std::string& path, X509* cert) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = i2d_X509_fp(file, cert) == 1;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

std::string CertFile(const std::string& dir, CertKind kind) { return dir + "/" + KindName(kind) + ".pem"; }
std::string KeyFile(const std::string& dir, CertKind kind) { return dir + "/" + KindName(kind) + ".key"; }
std::string CertFile(const std::string& dir, SignerKind kind) { return dir + "/" + KindName(kind) + ".pem"; }
std::string KeyFile(const std::string& dir, SignerKind kind) { return dir + "/" + KindName(kind) + ".key"; }

bool MakeTestCertificates(const std::string& dir, std::string& error) {
  constexpr long kDay = 24 * 60 * 60;
  Key caKey(EVP_RSA_gen(2048));
  if (!caKey) return error = "CA key generation failed", false;
  Cert ca = MakeCert(caKey.get(), "Orvandel Test CA", nullptr, nullptr, 1, -kDay, 3650 * kDay, Role::Ca);
  if (!ca) return error = "CA certificate failed", false;
  if (!WritePem(dir + "/ca.pem", ca.get(), nullptr) || !WriteDer(dir + "/ca.der", ca.get())) {
    return error = "cannot write the CA files in " + dir, false;
  }
  struct Leaf {
    CertKind kind;
    const char* cn;
    bool selfSigned;
    long notBefore;
    long notAfter;
  };
  const Leaf leaves[] = {
      {CertKind::Trusted, "localhost", false, -kDay, 825 * kDay},
      {CertKind::SelfSigned, "localhost", true, -kDay, 825 * kDay},
      {CertKind::Expired, "localhost", false, -30 * kDay, -kDay},
      {CertKind::WrongName, "wrong.example", false, -kDay, 825 * kDay},
  };
  long serial = 2;
  for (const Leaf& leaf : leaves) {
    Key key(EVP_RSA_gen(2048));
    if (!key) return error = "key generation failed", false;
    Cert cert = leaf.selfSigned
                    ? MakeCert(key.get(), leaf.cn, nullptr, nullptr, serial++, leaf.notBefore, leaf.notAfter,
                               Role::Server)
                    : MakeCert(key.get(), leaf.cn, ca.get(), caKey.get(), serial++, leaf.notBefore, leaf.notAfter,
                               Role::Server);
    if (!cert) return error = std::string("certificate failed: ") + KindName(leaf.kind), false;
    if (!WritePem(CertFile(dir, leaf.kind), cert.get(), nullptr) ||
        !WritePem(KeyFile(dir, leaf.kind), nullptr, key.get())) {
      return error = "cannot write certificate files in " + dir, false;
    }
  }
  const std::pair<SignerKind, const char*> signers[] = {{SignerKind::Publisher, "Orvandel Test Publisher"},
                                                        {SignerKind::OtherPublisher, "Orvandel Other Publisher"}};
  for (const auto& [kind, cn] : signers) {
    Key key(EVP_RSA_gen(2048));
    if (!key) return error = "key generation failed", false;
    Cert cert = MakeCert(key.get(), cn, ca.get(), caKey.get(), serial++, -kDay, 825 * kDay, Role::CodeSigning);
    if (!cert) return error = std::string("certificate failed: ") + KindName(kind), false;
    if (!WritePem(CertFile(dir, kind), cert.get(), nullptr) || !WritePem(KeyFile(dir, kind), nullptr, key.get())) {
      return error = "cannot write certificate files in " + dir, false;
    }
  }
  return true;
}

}  // namespace bed
