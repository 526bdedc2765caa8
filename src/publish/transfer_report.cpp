#include "publish/transfer_report.h"

#include <cstddef>
#include <cstdio>

namespace orv {

namespace {

// value in the largest binary unit that keeps it at 1 or more, one decimal: "1.2 MiB".
std::string Scaled(double value, const char* suffix) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof(kUnits) / sizeof(kUnits[0])) {
    value /= 1024.0;
    ++unit;
  }
  char text[48];
  if (unit == 0) {
    std::snprintf(text, sizeof(text), "%.0f %s%s", value, kUnits[unit], suffix);
  } else {
    std::snprintf(text, sizeof(text), "%.1f %s%s", value, kUnits[unit], suffix);
  }
  return text;
}

std::string Grouped(uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

std::string FormatBytes(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  return Grouped(bytes) + " bytes (" + Scaled(static_cast<double>(bytes), "") + ")";
}

std::string FormatThroughput(uint64_t bytes, uint64_t elapsedMs) {
  if (elapsedMs == 0) return "-";
  return Scaled(static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsedMs), "/s");
}

std::string DescribeTransfer(const std::string& label, const TransferFigures& figures) {
  char seconds[32];
  std::snprintf(seconds, sizeof(seconds), "%.2f s", static_cast<double>(figures.elapsedMs) / 1000.0);
  const std::string status = figures.status ? "HTTP " + std::to_string(figures.status) : "no response";
  return label + ": " + status + ", " + FormatBytes(figures.bytes) + " in " + seconds + ", " +
         FormatThroughput(figures.bytes, figures.elapsedMs);
}

std::string ProgressText(uint64_t received, std::optional<uint64_t> total, uint64_t elapsedMs) {
  std::string text = Scaled(static_cast<double>(received), "");
  if (total && *total > 0) {
    const double share = static_cast<double>(received) / static_cast<double>(*total);
    const int percent = share >= 1.0 ? 100 : static_cast<int>(share * 100.0);
    text += " of " + Scaled(static_cast<double>(*total), "") + " (" + std::to_string(percent) + "%)";
  }
  return text + ", " + FormatThroughput(received, elapsedMs);
}

}  // namespace orv
