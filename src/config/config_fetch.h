#pragma once
#include <cstdint>
#include <string>

namespace orv {

// The whole fetch, every attempt included, ends within this time.
inline constexpr uint32_t kConfigFetchDeadlineMs = 30000;

// Fetches the configuration document by GET from url. On success returns true and replaces text
// with the response text (whatever the HTTP status); returns false exactly when the request fails.
// requireValidCertificate: refuse invalid TLS certificates. A fetch that takes longer than
// kConfigFetchDeadlineMs in all (a server that trickles its answer) is false.
[[nodiscard]] bool FetchConfiguration(const wchar_t* url, bool requireValidCertificate, std::wstring& text);

}  // namespace orv
