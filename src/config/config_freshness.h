#pragma once
// Whether a configuration is fresh and meant for this stub: its product, its serial against the
// build's floor and the highest one this machine accepted, its expiry against the clock, and in a
// signed build the keys that tie the installer to the signed document.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/stub_config.h"

namespace orv {

// Largest "serial": 2^53 - 1, the largest integer every JSON reader keeps exactly.
inline constexpr uint64_t kMaxConfigSerial = (uint64_t{1} << 53) - 1;

// nullopt when text is not "YYYY-MM-DDTHH:MM:SSZ" naming a real time from year 1970 to 9999;
// otherwise its seconds since 1970-01-01T00:00:00Z.
[[nodiscard]] std::optional<int64_t> ParseUtcTime(std::string_view text);

// seconds since 1970-01-01T00:00:00Z as "YYYY-MM-DDTHH:MM:SSZ" (years before 1970 as 1970).
std::string FormatUtcTime(int64_t seconds);

// What the rules are held against.
struct FreshnessRules {
  bool signedBuild = false;             // product, serial, expires, sha256 and size are required
  std::wstring product;                 // the build's product
  uint64_t serialFloor = 0;             // the build's lowest serial
  std::optional<uint64_t> highestSerial;  // the highest serial accepted on this machine, if any
  int64_t now = 0;                      // the machine's clock, seconds since 1970 (UTC)
  bool pastExpiryIsWarning = false;     // an expired document is accepted with a warning
};

// The verdict: refused when refusal is not empty; a warning to log when warning is not empty.
struct FreshnessVerdict {
  std::string refusal;
  std::string warning;
};

// The first rule config breaks: a key a signed build requires, another product, a serial below the
// floor or the highest accepted, a past expiry (refused, or with pastExpiryIsWarning a warning).
FreshnessVerdict JudgeFreshness(const StubConfig& config, const FreshnessRules& rules);

}  // namespace orv
