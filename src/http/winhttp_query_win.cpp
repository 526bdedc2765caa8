#include "http/winhttp_query.h"

#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"
#include "text/log_escape.h"
#include "text/utf8.h"

namespace orv {

std::optional<std::wstring> QueryHeaderText(HINTERNET request, DWORD query, DWORD maxChars) {
  DWORD bytes = 0;
  if (WinHttp().QueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                             WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes / sizeof(wchar_t) > maxChars) {
    return std::nullopt;
  }
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!WinHttp().QueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, &value[0], &bytes,
                              WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  value.resize(bytes / sizeof(wchar_t));
  return value;
}

uint32_t OfferedAuthSchemes(HINTERNET request) {
  DWORD supported = 0, first = 0, target = 0;
  if (!WinHttp().QueryAuthSchemes(request, &supported, &first, &target)) return 0;
  return supported;
}

std::string ProxyNameForLog(HINTERNET request, const std::wstring& sessionProxy) {
  WINHTTP_PROXY_INFO info = {};
  DWORD size = sizeof(info);
  if (WinHttp().QueryOption(request, WINHTTP_OPTION_PROXY, &info, &size)) {
    const GlobalString proxy(info.lpszProxy);
    const GlobalString bypass(info.lpszProxyBypass);
    if (HasText(proxy)) return EscapeLogValue(ToUtf8(proxy.get()));
  }
  if (!sessionProxy.empty()) return EscapeLogValue(ToUtf8(sessionProxy));
  WINHTTP_PROXY_INFO defaults = {};
  if (WinHttp().GetDefaultProxyConfiguration(&defaults)) {
    const GlobalString proxy(defaults.lpszProxy);
    const GlobalString bypass(defaults.lpszProxyBypass);
    if (HasText(proxy)) return EscapeLogValue(ToUtf8(proxy.get()));
  }
  return "(the system's proxy)";
}

}  // namespace orv
