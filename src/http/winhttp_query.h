#pragma once
// What a WinHTTP request's answer tells, read the same way by every exchange of the stub.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// Empty when the answer lacks the header (a WINHTTP_QUERY_* value) or its value is longer than
// maxChars characters; otherwise its value.
std::optional<std::wstring> QueryHeaderText(HINTERNET request, DWORD query, DWORD maxChars = 16384);

// The authentication schemes (WINHTTP_AUTH_SCHEME_* bits) a 401 or 407 answer offers; 0 when
// none can be read.
uint32_t OfferedAuthSchemes(HINTERNET request);

// The proxy a request went through, for the log: as the request names it, else sessionProxy when
// not empty (a proxy the session was given), else WinHTTP's default setting, else "(the system's
// proxy)". Escaped for a log line.
std::string ProxyNameForLog(HINTERNET request, const std::wstring& sessionProxy);

}  // namespace orv
