#pragma once
// How many bytes the next read of a response body asks for. A platform may hold a read until its
// whole buffer is filled (Wine 8's WinHttpReadData does), so a read larger than what a slow link
// brings in a while hides those bytes from the file and from the pace watch until it completes.
// The reads therefore start small, double while each fills quickly, and shrink to what the link
// brought in the target time when one was slow.
#include <cstdint>

namespace orv {

class ReadPace {
 public:
  // Reads of minBytes to maxBytes (minBytes at first), each meant to take about targetMs.
  ReadPace(uint32_t targetMs, uint32_t minBytes, uint32_t maxBytes);

  // The size of the next read, minBytes to maxBytes.
  uint32_t Next() const { return next_; }

  // A read that asked for `asked` bytes brought `brought` in tookMs. Filled within half the target
  // time: the next read is twice as large. Slower: the next is what the link brought in the target
  // time (never larger than this one). Quick and short: unchanged (the platform gave what it had).
  void Note(uint32_t asked, uint32_t brought, uint64_t tookMs);

 private:
  uint64_t targetMs_;
  uint32_t minBytes_;
  uint32_t maxBytes_;
  uint32_t next_;
};

}  // namespace orv
