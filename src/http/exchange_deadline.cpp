#include "http/exchange_deadline.h"

namespace orv {

bool ExchangeDeadline::Expired(uint64_t nowMs) const {
  if (budgetMs_ == 0) return false;
  // A clock that went backwards counts as no time spent.
  return nowMs >= startMs_ && nowMs - startMs_ >= budgetMs_;
}

int ExchangeDeadline::StepTimeoutMs(int stepMs, uint64_t nowMs) const {
  if (budgetMs_ == 0) return stepMs;
  if (Expired(nowMs)) return 1;
  const uint64_t spent = nowMs >= startMs_ ? nowMs - startMs_ : 0;
  const uint64_t remaining = budgetMs_ - spent;
  if (stepMs > 0 && static_cast<uint64_t>(stepMs) < remaining) return stepMs;
  return remaining > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(remaining);
}

}  // namespace orv
