#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "http/exchange_deadline.h"
#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"
#include "publish_fetch.h"
#include "text/utf8.h"

namespace orv {

namespace {

// Largest header block taken from a response, in characters.
constexpr DWORD kMaxHeaderChars = 64 * 1024;
constexpr DWORD kReadChunk = 64 * 1024;

std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE: return "the server's certificate was refused";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "the TLS handshake failed (or the certificate was refused)";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "no connection could be made";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "the host name could not be resolved";
    case ERROR_WINHTTP_TIMEOUT: return "no data came in time";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "the answer broke off";
    case ERROR_WINHTTP_REDIRECT_FAILED: return "a redirect could not be followed";
    default: return "the request failed (error code " + std::to_string(error) + ")";
  }
}

// Sets every step's time-out: the idle time, cut to what remains of the deadline.
void ApplyTimeouts(HINTERNET request, const ExchangeDeadline& deadline, int idleMs) {
  const uint64_t now = GetTickCount64();
  const int step = deadline.StepTimeoutMs(idleMs, now);
  WinHttp().SetTimeouts(request, step, step, step, step);
  DWORD head = static_cast<DWORD>(step);
  WinHttp().SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &head, sizeof(head));
}

}  // namespace

bool CanUseCaFile() { return false; }

bool CanFetch() { return WinHttp().loaded; }

bool Fetch(const std::string& url, const std::string& caFile, const FetchLimits& limits, const BodySink& sink,
           FetchResult& result) {
  result = FetchResult();
  const WinHttpApi& api = WinHttp();
  if (!caFile.empty()) {
    result.error = "--ca-file is not supported here: the Windows build trusts the Windows certificate store";
    return false;
  }
  if (!api.loaded) {
    result.error = "winhttp.dll could not be loaded";
    return false;
  }
  std::wstring wideUrl = FromUtf8(url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!api.CrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || parts.dwHostNameLength == 0) {
    result.error = "not an http or https address: " + url;
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring target = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  target = target.substr(0, target.find(L'#'));
  if (target.empty()) target = L"/";

  const uint64_t start = GetTickCount64();
  const ExchangeDeadline deadline(start, limits.deadlineMs);
  const int idleMs = static_cast<int>(limits.idleMs);
  const WinHttpHandle session(api.Open(L"orvpublish", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  const WinHttpHandle connection(session ? api.Connect(session.get(), host.c_str(), parts.nPort, 0) : nullptr);
  const WinHttpHandle request(connection ? api.OpenRequest(connection.get(), L"GET", target.c_str(), nullptr,
                                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                         : nullptr);
  const auto finish = [&](const std::string& error) {
    result.figures.elapsedMs = GetTickCount64() - start;
    result.error = error;
    return error.empty();
  };
  if (!request) return finish(ErrorText(GetLastError()));
  ApplyTimeouts(request.get(), deadline, idleMs);
  if (!api.SendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !api.ReceiveResponse(request.get(), nullptr)) {
    return finish(ErrorText(GetLastError()));
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (api.QueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                       WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    result.figures.status = static_cast<int>(status);
  }
  std::vector<wchar_t> headers(kMaxHeaderChars);
  size = kMaxHeaderChars * sizeof(wchar_t);
  if (api.QueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, headers.data(),
                       &size, WINHTTP_NO_HEADER_INDEX)) {
    result.headers = ToUtf8(std::wstring(headers.data(), size / sizeof(wchar_t)));
  }
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    if (deadline.Expired(GetTickCount64())) {
      return finish("no complete answer within " + std::to_string(limits.deadlineMs / 1000) + " s");
    }
    ApplyTimeouts(request.get(), deadline, idleMs);
    DWORD read = 0;
    if (!api.ReadData(request.get(), chunk.data(), kReadChunk, &read)) return finish(ErrorText(GetLastError()));
    if (read == 0) return finish("");
    if (read > limits.maxBytes - result.figures.bytes) {
      return finish("the body is larger than " + std::to_string(limits.maxBytes) + " bytes");
    }
    result.figures.bytes += read;
    if (!sink(chunk.data(), read)) return finish("stopped");
  }
}

}  // namespace orv
