#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The failure hit's address: "https://<host>/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=<id>
// &e_c=Undetermined&e_a=Failed&e_n=<exitCode in unsigned decimal>" (one line, nothing escaped).
std::wstring BuildTrackingUrl(std::wstring_view analyticsHost, std::wstring_view installationId, uint32_t exitCode);

// The hit, every attempt included, is given up after this time.
inline constexpr uint32_t kFailureHitDeadlineMs = 10000;

}  // namespace orv
