#include "download/trickle_watch.h"

namespace orv {

TrickleWatch::TrickleWatch(uint64_t startMs, uint32_t windowMs, uint64_t minBytes)
    : windowMs_(windowMs), minBytes_(minBytes), markMs_(startMs) {}

void TrickleWatch::Note(uint64_t received, uint64_t nowMs) {
  if (received <= received_) return;
  received_ = received;
  // A new stretch starts where the stretch's bytes became enough, unless it had already run out.
  if (received_ - markBytes_ >= minBytes_ && !Expired(nowMs)) {
    markBytes_ = received_;
    markMs_ = nowMs;
  }
}

bool TrickleWatch::Expired(uint64_t nowMs) const { return nowMs >= markMs_ && nowMs - markMs_ >= windowMs_; }

uint64_t TrickleWatch::MsLeft(uint64_t nowMs) const {
  if (nowMs < markMs_) return windowMs_;
  const uint64_t spent = nowMs - markMs_;
  return spent >= windowMs_ ? 0 : windowMs_ - spent;
}

}  // namespace orv
