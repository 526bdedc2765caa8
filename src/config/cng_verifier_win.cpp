#include "config/cng_verifier.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "base/system_library.h"
#include "base/unique_resource.h"

namespace orv {
namespace {

constexpr LONG kInvalidSignature = static_cast<LONG>(0xC000A000);  // STATUS_INVALID_SIGNATURE

using OpenProvider = LONG(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using CloseProvider = LONG(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using ImportKeyPair = LONG(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE, LPCWSTR, BCRYPT_KEY_HANDLE*, PUCHAR, ULONG, ULONG);
using DestroyKey = LONG(WINAPI*)(BCRYPT_KEY_HANDLE);
using VerifySignature = LONG(WINAPI*)(BCRYPT_KEY_HANDLE, VOID*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);

// bcrypt.dll from System32 and its entry points, bound once (all null when it cannot be loaded,
// with the loader's error) and never changed after.
struct Bcrypt {
  DWORD loadError = 0;
  OpenProvider open = nullptr;
  CloseProvider close = nullptr;
  ImportKeyPair import = nullptr;
  DestroyKey destroy = nullptr;
  VerifySignature verify = nullptr;
  bool bound() const { return open && close && import && destroy && verify; }
};

const Bcrypt& Api() {
  static const Bcrypt api = [] {
    Bcrypt bound;
    const HMODULE module = LoadSystemLibrary(L"bcrypt.dll");
    if (!module) {
      bound.loadError = GetLastError();
      return bound;
    }
    if (!BindProcedure(module, "BCryptOpenAlgorithmProvider", bound.open) ||
        !BindProcedure(module, "BCryptCloseAlgorithmProvider", bound.close) ||
        !BindProcedure(module, "BCryptImportKeyPair", bound.import) ||
        !BindProcedure(module, "BCryptDestroyKey", bound.destroy) ||
        !BindProcedure(module, "BCryptVerifySignature", bound.verify)) {
      bound.loadError = ERROR_PROC_NOT_FOUND;
    }
    return bound;
  }();
  return api;
}

struct ProviderTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { Api().close(h, 0); }
};

struct KeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { Api().destroy(h); }
};

}  // namespace

Result<bool> CngP256Verifier::Verify(const P256PublicKey& key, const Sha256Digest& digest,
                                     const P256Signature& signature) {
  const Bcrypt& api = Api();
  if (!api.bound()) return Status::Failure(api.loadError, "Cannot load bcrypt.dll's ECDSA functions from System32");
  UniqueResource<ProviderTraits> provider;
  LONG status = api.open(provider.out(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
  if (status < 0) return Status::Failure(static_cast<uint32_t>(status), "Cannot open the ECDSA P-256 provider");

  // BCRYPT_ECCKEY_BLOB, then X and Y.
  unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob, &header, sizeof(header));
  std::memcpy(blob + sizeof(header), key.data() + 1, 64);
  UniqueResource<KeyTraits> handle;
  status = api.import(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, handle.out(), blob, sizeof(blob), 0);
  if (status < 0) return Status::Failure(static_cast<uint32_t>(status), "The platform refuses the public key");

  Sha256Digest hash = digest;
  P256Signature rs = signature;
  status = api.verify(handle.get(), nullptr, hash.data(), static_cast<ULONG>(hash.size()), rs.data(),
                      static_cast<ULONG>(rs.size()), 0);
  if (status == kInvalidSignature) return false;
  if (status < 0) return Status::Failure(static_cast<uint32_t>(status), "The platform cannot check the signature");
  return true;
}

}  // namespace orv
