#include "publish_keys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace orv {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct SigFree {
  void operator()(ECDSA_SIG* sig) const { ECDSA_SIG_free(sig); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;
using Sig = std::unique_ptr<ECDSA_SIG, SigFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

std::string OpenSslError() {
  const unsigned long code = ERR_get_error();
  if (code == 0) return "OpenSSL failed";
  char text[256];
  ERR_error_string_n(code, text, sizeof(text));
  ERR_clear_error();
  return text;
}

// The key's point, when it is a P-256 key.
bool PublicPoint(EVP_PKEY* pkey, P256PublicKey& key, std::string& error) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(pkey, &der);
  if (length <= 0) {
    error = OpenSslError();
    return false;
  }
  const Result<P256PublicKey> point = ReadPublicKeyDer(std::string_view(reinterpret_cast<char*>(der), length));
  OPENSSL_free(der);
  if (!point.ok()) {
    error = point.status().detail();
    return false;
  }
  key = *point;
  return true;
}

// A file made new with mode, for writing; null (error set) when it exists or cannot be made.
File CreateNew(const std::string& path, mode_t mode, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd < 0) {
    error = "cannot create " + path + ": " + std::string(std::strerror(errno));
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) ::close(fd);
  return File(file);
}

class OpenSslVerifier final : public P256Verifier {
 public:
  Result<bool> Verify(const P256PublicKey& key, const Sha256Digest& digest, const P256Signature& signature) override {
    static const unsigned char kPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01,
                                            0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};
    unsigned char spki[sizeof(kPrefix) + 65];
    std::memcpy(spki, kPrefix, sizeof(kPrefix));
    std::memcpy(spki + sizeof(kPrefix), key.data(), key.size());
    const unsigned char* read = spki;
    Pkey pkey(d2i_PUBKEY(nullptr, &read, sizeof(spki)));
    if (!pkey) return Status::Failure(0, "OpenSSL refuses the public key: " + OpenSslError());
    Sig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
      BN_free(r);
      BN_free(s);
      return Status::Failure(0, OpenSslError());
    }
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
    if (derLength <= 0) return Status::Failure(0, OpenSslError());
    Ctx ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
    int verified = -1;
    if (ctx && EVP_PKEY_verify_init(ctx.get()) == 1) {
      verified = EVP_PKEY_verify(ctx.get(), der, static_cast<size_t>(derLength), digest.data(), digest.size());
    }
    OPENSSL_free(der);
    ERR_clear_error();
    if (verified < 0) return Status::Failure(0, "OpenSSL cannot check the signature");
    return verified == 1;
  }
};

}  // namespace

bool CanSign(std::string&) { return true; }

bool MakeKeyPair(const std::string& name, P256PublicKey& key, std::string& error) {
  Pkey pkey(EVP_EC_gen("P-256"));
  if (!pkey || !PublicPoint(pkey.get(), key, error)) {
    if (error.empty()) error = OpenSslError();
    return false;
  }
  const std::string privatePath = name + ".key.pem";
  const std::string publicPath = name + ".pub.pem";
  File privateFile = CreateNew(privatePath, 0600, error);
  if (!privateFile) return false;
  if (PEM_write_PrivateKey(privateFile.get(), pkey.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      std::fflush(privateFile.get()) != 0) {
    error = "cannot write " + privatePath;
    return false;
  }
  File publicFile = CreateNew(publicPath, 0644, error);
  if (!publicFile) return false;
  const std::string pem = PublicKeyPem(key);
  if (std::fwrite(pem.data(), 1, pem.size(), publicFile.get()) != pem.size() || std::fflush(publicFile.get()) != 0) {
    error = "cannot write " + publicPath;
    return false;
  }
  return true;
}

bool SignDigest(const std::string& path, const Sha256Digest& digest, P256PublicKey& key, P256Signature& signature,
                std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot read " + path + ": " + std::string(std::strerror(errno));
    return false;
  }
  Pkey pkey(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
  if (!pkey) {
    error = path + " is not a private key in PEM: " + OpenSslError();
    return false;
  }
  if (!PublicPoint(pkey.get(), key, error)) {
    error = path + ": " + error;
    return false;
  }
  Ctx ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  size_t derLength = 0;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
      EVP_PKEY_sign(ctx.get(), nullptr, &derLength, digest.data(), digest.size()) != 1) {
    error = "cannot sign with " + path + ": " + OpenSslError();
    return false;
  }
  std::string der(derLength, '\0');
  unsigned char* out = reinterpret_cast<unsigned char*>(der.data());
  if (EVP_PKEY_sign(ctx.get(), out, &derLength, digest.data(), digest.size()) != 1) {
    error = "cannot sign with " + path + ": " + OpenSslError();
    return false;
  }
  const unsigned char* read = out;
  Sig sig(d2i_ECDSA_SIG(nullptr, &read, static_cast<long>(derLength)));
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  if (sig) ECDSA_SIG_get0(sig.get(), &r, &s);
  if (!sig || BN_bn2binpad(r, signature.data(), 32) != 32 || BN_bn2binpad(s, signature.data() + 32, 32) != 32) {
    error = "cannot read the signature made with " + path;
    return false;
  }
  return true;
}

P256Verifier& ToolVerifier() {
  static OpenSslVerifier verifier;
  return verifier;
}

}  // namespace orv
