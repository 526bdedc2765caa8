#pragma once
// The proxy that the user's own settings (Internet Explorer's, per user) name for an address: what
// the stub's requests turn to when a send without them fails.
#include <optional>
#include <string>

#include "base/status.h"

namespace orv {

struct ProxyServer {
  std::wstring proxy;       // WinHTTP's proxy list ("host:port", "http=host:port;...")
  std::wstring bypass;      // the addresses that bypass it; "" for none
  bool fromScript = false;  // named by the automatic configuration script, not by the settings
};

// A failure Status when the settings cannot be read or their automatic configuration script gives
// no answer. Otherwise the proxy for url that the script names (tried with auto-detection, then,
// where WinHTTP refuses that combination, with the script alone), else the proxy server the settings
// name; empty when they name neither or the script answers "DIRECT".
Result<std::optional<ProxyServer>> FindUserProxy(const std::wstring& url);

}  // namespace orv
