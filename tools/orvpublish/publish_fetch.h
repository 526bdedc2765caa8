#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "publish/transfer_report.h"

namespace orv {

// Bounds of one fetch.
struct FetchLimits {
  uint64_t maxBytes = 0;      // the body may hold at most this many bytes
  uint32_t deadlineMs = 0;    // the whole exchange ends within this time; 0 for no bound in all
  uint32_t idleMs = 30000;    // ... and within this time of the last data it received
};

// What a fetch gave.
struct FetchResult {
  TransferFigures figures;  // status 0 when no response arrived
  std::string headers;      // the response's header lines, "Name: value" each ended by CR LF
  std::string error;        // why the fetch failed; "" when the whole body arrived
};

// Receives each piece of the body as it arrives; false stops the fetch.
using BodySink = std::function<bool(const char* data, std::size_t size)>;

// False when this build cannot fetch (built without an HTTPS client, or winhttp.dll missing);
// verify then stops with a usage error.
bool CanFetch();

// False when this build cannot take certificate authorities from a file (the Windows build, which
// trusts the Windows certificate store only).
bool CanUseCaFile();

// Sends a GET for url (http or https; redirects followed) and hands the body to sink as it
// arrives. https certificates are checked against caFile (PEM) or, when it is "", the system's
// authorities (on Windows only the system's: a caFile there fails the fetch). False with result.error set when no complete body arrived: refused connection or
// certificate, a limit passed ("the body is larger than N bytes", "no data for 30 s", "no
// answer within 30 s"), or the sink stopped it; result.figures then hold what was measured.
[[nodiscard]] bool Fetch(const std::string& url, const std::string& caFile, const FetchLimits& limits,
                         const BodySink& sink, FetchResult& result);

}  // namespace orv
