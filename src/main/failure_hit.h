#pragma once
#include <cstdint>
#include <string>

// The hit, every attempt included, is given up after this time.
inline constexpr uint32_t kFailureHitDeadlineMs = 10000;

// Reports a failed installation to the analytics host by one HTTPS GET of the tracking address
// (certificate errors accepted). Logs "Sending failed hit to Piwik" and then "Sent failed hit to
// Piwik" whatever the request gives; nothing is retried beyond the client's own attempts.
// analyticsHost: host[:port], at most 120 characters (checked when the stub is built).
void SendFailureHit(const wchar_t* analyticsHost, const std::wstring& installationId, uint32_t exitCode);
