#include "util/wintrust_api.h"

#include "util/system_library.h"

namespace orv {

namespace {

WinTrustApi Load() {
  WinTrustApi api;
  const HMODULE module = LoadSystemLibrary(L"wintrust.dll");
  const bool all = BindProcedure(module, "WinVerifyTrust", api.VerifyTrust) &&
                   BindProcedure(module, "WTHelperProvDataFromStateData", api.ProvDataFromStateData) &&
                   BindProcedure(module, "WTHelperGetProvSignerFromChain", api.GetProvSignerFromChain);
  if (!all) return WinTrustApi{};
  api.loaded = true;
  return api;
}

}  // namespace

const WinTrustApi& WinTrust() {
  static const WinTrustApi api = Load();
  return api;
}

}  // namespace orv
