#pragma once
#include <windows.h>
#include <winhttp.h>

namespace orv {

// The WinHTTP functions the HTTP client uses, taken from System32's winhttp.dll at run time:
// winhttp.dll is not one of the DLLs Windows always loads from System32, so the program does not
// import it (a planted copy beside the program would be loaded before the entry function runs).
struct WinHttpApi {
  bool loaded = false;  // every pointer below is set; false: all are null
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
  decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
  decltype(&::WinHttpCrackUrl) CrackUrl = nullptr;
  decltype(&::WinHttpConnect) Connect = nullptr;
  decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
  decltype(&::WinHttpSetOption) SetOption = nullptr;
  decltype(&::WinHttpAddRequestHeaders) AddRequestHeaders = nullptr;
  decltype(&::WinHttpSendRequest) SendRequest = nullptr;
  decltype(&::WinHttpWriteData) WriteData = nullptr;
  decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
  decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = nullptr;
  decltype(&::WinHttpReadData) ReadData = nullptr;
  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
  decltype(&::WinHttpSetStatusCallback) SetStatusCallback = nullptr;
  decltype(&::WinHttpQueryOption) QueryOption = nullptr;
  decltype(&::WinHttpQueryAuthSchemes) QueryAuthSchemes = nullptr;
  decltype(&::WinHttpSetCredentials) SetCredentials = nullptr;
  decltype(&::WinHttpGetDefaultProxyConfiguration) GetDefaultProxyConfiguration = nullptr;
};

// The table, loaded on first use (thread-safe) and never unloaded; loaded is false when
// System32's winhttp.dll or one of its functions is missing, and stays false for the process.
const WinHttpApi& WinHttp();

}  // namespace orv
