#include "download/read_pace.h"

namespace orv {
namespace {

uint32_t Clamp(uint64_t value, uint32_t low, uint32_t high) {
  return value < low ? low : value > high ? high : static_cast<uint32_t>(value);
}

}  // namespace

ReadPace::ReadPace(uint32_t targetMs, uint32_t minBytes, uint32_t maxBytes)
    : targetMs_(targetMs > 0 ? targetMs : 1),
      minBytes_(minBytes > 0 ? minBytes : 1),
      maxBytes_(maxBytes > minBytes_ ? maxBytes : minBytes_),
      next_(minBytes_) {}

void ReadPace::Note(uint32_t asked, uint32_t brought, uint64_t tookMs) {
  if (tookMs * 2 <= targetMs_) {
    if (brought >= asked) next_ = Clamp(uint64_t{asked} * 2, minBytes_, maxBytes_);
    return;
  }
  const uint32_t ceiling = asked < maxBytes_ ? (asked > minBytes_ ? asked : minBytes_) : maxBytes_;
  next_ = Clamp(uint64_t{brought} * targetMs_ / tookMs, minBytes_, ceiling);
}

}  // namespace orv
