#include "download/trickle_watch.h"

namespace orv {

TrickleWatch::TrickleWatch(uint64_t startMs, uint32_t windowMs, uint64_t minBytes)
    : startMs_(startMs),
      windowMs_(windowMs),
      minBytes_(minBytes),
      slotMs_(windowMs / kSlotsPerWindow > 0 ? windowMs / kSlotsPerWindow : 1),
      markMs_(startMs),
      deadlineMs_(startMs + windowMs) {}

void TrickleWatch::Note(uint64_t received, uint64_t nowMs) {
  if (received <= received_ || ended_) return;
  if (Expired(nowMs)) {
    ended_ = true;
    return;
  }
  const uint64_t index = nowMs > startMs_ ? (nowMs - startMs_) / slotMs_ : 0;
  Slot& slot = slots_[index % kSlots];
  if (slot.index != index || slot.bytes == 0) slot = Slot{index, 0, nowMs};
  slot.bytes += received - received_;
  if (nowMs > slot.lastMs) slot.lastMs = nowMs;
  if (index > newest_) newest_ = index;
  received_ = received;
  if (nowMs > lastNoteMs_) lastNoteMs_ = nowMs;
  noted_ = true;
  Recompute();
}

// The stretch that expires next starts at the latest note from which on minBytes have come (the
// attempt's start when fewer came in all): from then on bytes must keep coming.
void TrickleWatch::Recompute() {
  uint64_t sum = 0;
  for (uint64_t back = 0; back < kSlots && back <= newest_; ++back) {
    const Slot& slot = slots_[(newest_ - back) % kSlots];
    if (slot.index != newest_ - back || slot.bytes == 0) continue;
    sum += slot.bytes;
    if (sum >= minBytes_) {
      markMs_ = slot.lastMs;
      deadlineMs_ = markMs_ + windowMs_;
      return;
    }
  }
  markMs_ = startMs_;
  deadlineMs_ = startMs_ + windowMs_;
}

bool TrickleWatch::Expired(uint64_t nowMs) const { return ended_ || nowMs >= deadlineMs_; }

uint64_t TrickleWatch::MsLeft(uint64_t nowMs) const { return Expired(nowMs) ? 0 : deadlineMs_ - nowMs; }

}  // namespace orv
