#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// One HTTP transfer as orvpublish measured it.
struct TransferFigures {
  int status = 0;         // final HTTP status; 0 when no response arrived
  uint64_t bytes = 0;     // body bytes received
  uint64_t elapsedMs = 0; // from the request to the body's end
};

// "1,234,567 bytes (1.2 MiB)"; plain "<n> bytes" below 1 KiB.
std::string FormatBytes(uint64_t bytes);

// Bytes per second in binary units, "3.4 MiB/s"; "-" when elapsedMs is 0.
std::string FormatThroughput(uint64_t bytes, uint64_t elapsedMs);

// One report line: "<label>: HTTP 200, 1,234 bytes (1.2 KiB) in 0.25 s, 4.8 KiB/s".
std::string DescribeTransfer(const std::string& label, const TransferFigures& figures);

// The text of a progress line (without line control): "12.0 MiB of 40.0 MiB (30%), 5.6 MiB/s",
// or without " of ..." and the percentage when total is unknown or 0.
std::string ProgressText(uint64_t received, std::optional<uint64_t> total, uint64_t elapsedMs);

}  // namespace orv
