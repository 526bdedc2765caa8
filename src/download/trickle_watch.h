#pragma once
// The watch over one attempt's pace: an attempt that brings fewer than a given number of bytes
// within a given time (silence included) is given up, so that a server trickling a byte now and
// then cannot hold the elevated stub.
#include <cstdint>

namespace orv {

class TrickleWatch {
 public:
  // An attempt that starts at startMs (a millisecond clock) and must bring minBytes within every
  // stretch of windowMs that starts at its start or where the last minBytes were complete.
  TrickleWatch(uint64_t startMs, uint32_t windowMs, uint64_t minBytes);

  // Notes that the attempt has brought `received` bytes in all by nowMs (never fewer than before).
  void Note(uint64_t received, uint64_t nowMs);

  // False while the current stretch has time left; true once windowMs have passed in it without
  // minBytes.
  [[nodiscard]] bool Expired(uint64_t nowMs) const;

  // 0 once expired; otherwise the milliseconds until the current stretch ends.
  uint64_t MsLeft(uint64_t nowMs) const;

  // Whether nothing at all arrived in the current stretch (for the log: silence rather than a
  // trickle).
  bool Silent() const { return received_ == markBytes_; }

 private:
  uint64_t windowMs_;
  uint64_t minBytes_;
  uint64_t markMs_;
  uint64_t markBytes_ = 0;
  uint64_t received_ = 0;
};

}  // namespace orv
