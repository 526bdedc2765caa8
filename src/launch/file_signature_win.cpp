#include "launch/file_signature.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include "base/system_library.h"
#include "base/unique_resource.h"

namespace orv {

namespace {

// The WinTrust functions the signature check uses, taken from System32's wintrust.dll at run
// time: wintrust.dll is not one of the DLLs Windows always loads from System32, so the program
// does not import it (a planted copy beside the program would be loaded before the entry function).
struct WinTrustApi {
  bool loaded = false;  // every pointer below is set; false: all are null
  decltype(&::WinVerifyTrust) VerifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) ProvDataFromStateData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) GetProvSignerFromChain = nullptr;
};

WinTrustApi LoadWinTrust() {
  WinTrustApi api;
  const HMODULE module = LoadSystemLibrary(L"wintrust.dll");
  const bool all = BindProcedure(module, "WinVerifyTrust", api.VerifyTrust) &&
                   BindProcedure(module, "WTHelperProvDataFromStateData", api.ProvDataFromStateData) &&
                   BindProcedure(module, "WTHelperGetProvSignerFromChain", api.GetProvSignerFromChain);
  if (!all) return WinTrustApi{};
  api.loaded = true;
  return api;
}

// The table, loaded on first use (thread-safe) and never unloaded; loaded is false when
// System32's wintrust.dll or one of its functions is missing, and stays false for the process.
const WinTrustApi& WinTrust() {
  static const WinTrustApi api = LoadWinTrust();
  return api;
}

// The verification state that WinVerifyTrust keeps after a verify action, until a close action.
struct TrustStateTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle state) { return state != nullptr; }
  static void Close(Handle state) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    data.hWVTStateData = state;
    WinTrust().VerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  }
};

using TrustState = UniqueResource<TrustStateTraits>;

}  // namespace

SignatureReading ReadFileSignature(HANDLE file, const std::wstring& path) {
  SignatureReading reading;
  const WinTrustApi& api = WinTrust();
  if (!api.loaded) {
    reading.trustResult = static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError()));
    if (reading.trustResult == 0) reading.trustResult = static_cast<int32_t>(E_FAIL);
    return reading;
  }
  // The sums were read through the same handle; the signature is read from the file's start.
  LARGE_INTEGER start = {};
  SetFilePointerEx(file, start, nullptr, FILE_BEGIN);

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO info = {};
  info.cbStruct = sizeof(info);
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  // No revocation check of its own: the generic policy makes those that the system's settings ask for.
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  reading.trustResult = static_cast<int32_t>(api.VerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
  const TrustState state{data.hWVTStateData};
  if (reading.trustResult != 0 || !state) return reading;

  CRYPT_PROVIDER_DATA* provider = api.ProvDataFromStateData(state.get());
  CRYPT_PROVIDER_SGNR* signer = provider ? api.GetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return reading;
  const CERT_CONTEXT* certificate = signer->pasCertChain[0].pCert;
  reading.signerSha256 = Sha256Of(certificate->pbCertEncoded, certificate->cbCertEncoded);
  reading.signerKnown = true;
  return reading;
}

}  // namespace orv
