#pragma once
// The watch over one attempt's pace: an attempt that brings fewer than a given number of bytes in
// any stretch of a given length (silence included) is given up, so that a server trickling a few
// bytes now and then cannot hold the elevated stub. A rate, not a gap: bytes that keep coming too
// slowly end the attempt as surely as silence.
#include <array>
#include <cstddef>
#include <cstdint>

namespace orv {

class TrickleWatch {
 public:
  // An attempt that starts at startMs (a millisecond clock) and must bring minBytes within every
  // stretch of windowMs. Bytes are counted in 60 slots per window, each at the time of its latest
  // note, so the rule may err by one slot (1/60 of the window), always in the attempt's favour.
  TrickleWatch(uint64_t startMs, uint32_t windowMs, uint64_t minBytes);

  // Notes that the attempt has brought `received` bytes in all by nowMs (never fewer than before).
  // Bytes noted once the watch has expired do not revive it.
  void Note(uint64_t received, uint64_t nowMs);

  // False while every stretch of windowMs up to nowMs brought minBytes; true from the first moment
  // one did not (from windowMs after the start when fewer came in all).
  [[nodiscard]] bool Expired(uint64_t nowMs) const;

  // 0 once expired; otherwise the milliseconds until it expires unless more bytes come.
  uint64_t MsLeft(uint64_t nowMs) const;

  // Whether nothing at all arrived in the stretch that expires next (for the log: silence rather
  // than a trickle).
  bool Silent() const { return !noted_ || lastNoteMs_ <= markMs_; }

 private:
  struct Slot {
    uint64_t index = 0;   // which slot of the attempt: (time - start) / slotMs
    uint64_t bytes = 0;   // bytes noted in it
    uint64_t lastMs = 0;  // its latest note
  };
  static constexpr uint64_t kSlotsPerWindow = 60;
  static constexpr size_t kSlots = kSlotsPerWindow + 4;  // a whole window and the slot it started in

  void Recompute();

  uint64_t startMs_;
  uint64_t windowMs_;
  uint64_t minBytes_;
  uint64_t slotMs_;
  std::array<Slot, kSlots> slots_{};
  uint64_t newest_ = 0;       // index of the newest slot with bytes
  uint64_t received_ = 0;
  uint64_t markMs_;           // the stretch that expires next starts here ...
  uint64_t deadlineMs_;       // ... and ends here
  uint64_t lastNoteMs_ = 0;
  bool noted_ = false;
  bool ended_ = false;
};

}  // namespace orv
