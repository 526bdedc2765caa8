#pragma once
#include <string>

// Fetches the configuration document by GET from url. On success returns true and replaces text
// with the response text (whatever the HTTP status); returns false exactly when the request fails.
// requireValidCertificate: refuse invalid TLS certificates.
[[nodiscard]] bool FetchConfiguration(const wchar_t* url, bool requireValidCertificate, std::wstring& text);
