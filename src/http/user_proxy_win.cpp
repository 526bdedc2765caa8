#include "http/user_proxy.h"

#include <windows.h>
#include <winhttp.h>

#include "base/last_error.h"
#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"

namespace orv {
namespace {

std::wstring TextOf(const GlobalString& text) { return HasText(text) ? std::wstring(text.get()) : std::wstring(); }

Result<std::optional<ProxyServer>> AskScript(const std::wstring& url, const wchar_t* scriptUrl) {
  // The script is evaluated synchronously, on a session of its own.
  WinHttpHandle session(WinHttp().Open(L"OrvandelSetup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return LastErrorStatus("WinHttpOpen failed");
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
  options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
  options.lpszAutoConfigUrl = scriptUrl;
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info = {};
  BOOL found = WinHttp().GetProxyForUrl(session.get(), url.c_str(), &options, &info);
  if (!found && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Some WinHTTP implementations (Wine) refuse auto-detection combined with a script.
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.dwAutoDetectFlags = 0;
    found = WinHttp().GetProxyForUrl(session.get(), url.c_str(), &options, &info);
  }
  if (!found) return LastErrorStatus("The proxy script gave no answer");
  const GlobalString proxy(info.lpszProxy);
  const GlobalString bypass(info.lpszProxyBypass);
  if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || !HasText(proxy)) return std::optional<ProxyServer>();
  return std::optional<ProxyServer>(ProxyServer{TextOf(proxy), TextOf(bypass), true});
}

}  // namespace

Result<std::optional<ProxyServer>> FindUserProxy(const std::wstring& url) {
  if (!WinHttp().loaded) return Status::Failure(ERROR_MOD_NOT_FOUND, "WinHTTP is not available");
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (!WinHttp().GetIEProxyConfigForCurrentUser(&config)) return LastErrorStatus("The proxy settings cannot be read");
  const GlobalString scriptUrl(config.lpszAutoConfigUrl);
  const GlobalString proxy(config.lpszProxy);
  const GlobalString bypass(config.lpszProxyBypass);
  if (HasText(scriptUrl)) return AskScript(url, scriptUrl.get());
  if (HasText(proxy)) return std::optional<ProxyServer>(ProxyServer{TextOf(proxy), TextOf(bypass), false});
  return std::optional<ProxyServer>();
}

}  // namespace orv
