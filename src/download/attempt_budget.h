#pragma once
// How long the download keeps trying one address: attempts that bring new bytes go on, attempts
// that bring nothing are counted, and the pauses between attempts grow.
#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// The download's limits in time and attempts. The defaults are the product's; only the test
// builds shorten them.
struct DownloadTimings {
  uint32_t trickleWindowMs = 60000;  // an attempt bringing fewer than trickleBytes in this long ...
  uint32_t trickleBytes = 65536;     // ... is given up
  uint32_t firstPauseMs = 1000;      // pause after an address's first failed attempt,
  uint32_t secondPauseMs = 3000;     // after its second,
  uint32_t laterPauseMs = 10000;     // and after every later one
  uint32_t attemptsWithoutGain = 3;  // an address fails after this many attempts in a row without new bytes
  uint32_t attemptsInAll = 20;       // or after this many attempts in all
  uint32_t endBoundMs = 10000;       // a given-up attempt must have ended within this
};

// The attempts at one address that ended without the whole file.
class AttemptBudget {
 public:
  explicit AttemptBudget(const DownloadTimings& timings) : timings_(timings) {}

  // Counts one more attempt; gained: the file holds more bytes than before it.
  void Record(bool gained);
  // True once attemptsWithoutGain attempts in a row brought nothing or attemptsInAll were made.
  bool Spent() const;
  // The pause before the next attempt: firstPauseMs after one recorded attempt, secondPauseMs after
  // two, laterPauseMs after more.
  uint32_t PauseMs() const;

  // The log line of the attempt recorded last, failed for reason (its HTTP status or error):
  //  nothing gained at this address yet: "Download attempt <row> of <attemptsWithoutGain> failed (<reason>)";
  //  nothing gained this time, more before: "Download attempt <n> of <attemptsInAll> failed (<reason>),
  //    <row> of <attemptsWithoutGain> in a row without new bytes";
  //  bytes gained: "Download attempt <n> of <attemptsInAll> broke off at <bytes> of <total> bytes
  //    (<reason>)" ("at <bytes> bytes" when the total is unknown);
  // then ". Trying again in <pause> s" unless finalLine.
  std::string Line(const std::string& reason, bool gained, uint64_t fileBytes, std::optional<uint64_t> total,
                   bool finalLine) const;

 private:
  DownloadTimings timings_;
  uint32_t attempts_ = 0;
  uint32_t row_ = 0;
  bool everGained_ = false;
};

// A pause as the log writes it: whole seconds ("3"), or seconds with up to three decimals ("0.25").
std::string PauseSeconds(uint32_t ms);

}  // namespace orv
