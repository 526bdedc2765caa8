#include "download/attempt_budget.h"

namespace orv {

void AttemptBudget::Record(bool gained) {
  ++attempts_;
  if (gained) {
    row_ = 0;
    everGained_ = true;
  } else {
    ++row_;
  }
}

bool AttemptBudget::Spent() const {
  return row_ >= timings_.attemptsWithoutGain || attempts_ >= timings_.attemptsInAll;
}

uint32_t AttemptBudget::PauseMs() const {
  if (attempts_ <= 1) return timings_.firstPauseMs;
  if (attempts_ == 2) return timings_.secondPauseMs;
  return timings_.laterPauseMs;
}

std::string AttemptBudget::Line(const std::string& reason, bool gained, uint64_t fileBytes,
                                std::optional<uint64_t> total, bool finalLine) const {
  const std::string inAll = std::to_string(attempts_) + " of " + std::to_string(timings_.attemptsInAll);
  const std::string inRow = std::to_string(row_) + " of " + std::to_string(timings_.attemptsWithoutGain);
  std::string line;
  if (gained) {
    line = "Download attempt " + inAll + " broke off at " + std::to_string(fileBytes) +
           (total ? " of " + std::to_string(*total) : std::string()) + " bytes (" + reason + ")";
  } else if (!everGained_) {
    line = "Download attempt " + inRow + " failed (" + reason + ")";
  } else {
    line = "Download attempt " + inAll + " failed (" + reason + "), " + inRow + " in a row without new bytes";
  }
  if (!finalLine) line += ". Trying again in " + PauseSeconds(PauseMs()) + " s";
  return line;
}

std::string PauseSeconds(uint32_t ms) {
  std::string text = std::to_string(ms / 1000);
  uint32_t fraction = ms % 1000;
  if (fraction == 0) return text;
  std::string digits = std::to_string(fraction + 1000).substr(1);  // three digits
  while (digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

}  // namespace orv
