#pragma once
#include <cstdint>

namespace orv {

// A total time budget for one whole HTTP exchange, every attempt and every read included, on a
// millisecond clock that the caller reads (so that the decisions stay free of the platform).
class ExchangeDeadline {
 public:
  // A deadline budgetMs after startMs; a budget of 0 means no deadline at all.
  ExchangeDeadline(uint64_t startMs, uint32_t budgetMs) : startMs_(startMs), budgetMs_(budgetMs) {}

  // False while time remains (always false without a deadline); true from the deadline on.
  bool Expired(uint64_t nowMs) const;

  // The time-out for one blocking step whose own time-out is stepMs (0 or less: none): stepMs,
  // cut to the time that remains; at least 1 while time remains. stepMs as it is without a
  // deadline; 1 once expired, so that a step started late still ends at once.
  int StepTimeoutMs(int stepMs, uint64_t nowMs) const;

 private:
  uint64_t startMs_;
  uint32_t budgetMs_;
};

}  // namespace orv
