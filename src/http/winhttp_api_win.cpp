#include "http/winhttp_api.h"

#include "base/system_library.h"

namespace orv {

namespace {

WinHttpApi Load() {
  WinHttpApi api;
  const HMODULE module = LoadSystemLibrary(L"winhttp.dll");
  const bool all = BindProcedure(module, "WinHttpOpen", api.Open) &&
                   BindProcedure(module, "WinHttpCloseHandle", api.CloseHandle) &&
                   BindProcedure(module, "WinHttpSetTimeouts", api.SetTimeouts) &&
                   BindProcedure(module, "WinHttpCrackUrl", api.CrackUrl) &&
                   BindProcedure(module, "WinHttpConnect", api.Connect) &&
                   BindProcedure(module, "WinHttpOpenRequest", api.OpenRequest) &&
                   BindProcedure(module, "WinHttpSetOption", api.SetOption) &&
                   BindProcedure(module, "WinHttpAddRequestHeaders", api.AddRequestHeaders) &&
                   BindProcedure(module, "WinHttpSendRequest", api.SendRequest) &&
                   BindProcedure(module, "WinHttpWriteData", api.WriteData) &&
                   BindProcedure(module, "WinHttpReceiveResponse", api.ReceiveResponse) &&
                   BindProcedure(module, "WinHttpQueryHeaders", api.QueryHeaders) &&
                   BindProcedure(module, "WinHttpQueryDataAvailable", api.QueryDataAvailable) &&
                   BindProcedure(module, "WinHttpReadData", api.ReadData) &&
                   BindProcedure(module, "WinHttpGetIEProxyConfigForCurrentUser", api.GetIEProxyConfigForCurrentUser) &&
                   BindProcedure(module, "WinHttpGetProxyForUrl", api.GetProxyForUrl) &&
                   BindProcedure(module, "WinHttpSetStatusCallback", api.SetStatusCallback) &&
                   BindProcedure(module, "WinHttpQueryOption", api.QueryOption) &&
                   BindProcedure(module, "WinHttpQueryAuthSchemes", api.QueryAuthSchemes) &&
                   BindProcedure(module, "WinHttpSetCredentials", api.SetCredentials) &&
                   BindProcedure(module, "WinHttpGetDefaultProxyConfiguration", api.GetDefaultProxyConfiguration);
  if (!all) return WinHttpApi{};
  api.loaded = true;
  return api;
}

}  // namespace

const WinHttpApi& WinHttp() {
  static const WinHttpApi api = Load();
  return api;
}

}  // namespace orv
