#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The installer address with the cache-busting value appended: "?rn=<value>" when url holds no
// "?", "&rn=<value>" otherwise. value is decimal, 0 to 32767 as drawn by the run.
std::wstring AppendCacheBuster(const std::wstring& url, unsigned value);

// The cancellation page: base followed by the version, percent-encoded as one URL component
// (RFC 3986 unreserved characters stay, so "4.1.674" is unchanged).
std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version);

// The failure hit's address: "https://<host>/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=<id>
// &e_c=Undetermined&e_a=Failed&e_n=<exitCode in unsigned decimal>" (one line, nothing escaped).
std::wstring BuildTrackingUrl(std::wstring_view analyticsHost, std::wstring_view installationId, uint32_t exitCode);

// The hit, every attempt included, is given up after this time.
inline constexpr uint32_t kFailureHitDeadlineMs = 10000;

}  // namespace orv
