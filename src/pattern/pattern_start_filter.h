#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "pattern/pattern_program.h"

namespace orv {

// The characters with which a match attempt of an unanchored program can begin. Skipping the
// start positions it rejects gives the outcome of attempting them, only sooner.
class StartFilter {
 public:
  // Accepts every character.
  StartFilter() = default;
  // Follows every path from the program's first element to the first instruction that reads a
  // character; accepts everything when such a path reads any character, reads none, or passes a
  // look-ahead's stack cut.
  explicit StartFilter(const PatternProgram& program);

  bool AcceptsAll() const { return all_; }
  bool Accepts(wchar_t c) const {
    if (all_) return true;
    const int32_t value = static_cast<int32_t>(c);
    for (const auto& range : ranges_) {
      if (value >= range.first && value <= range.second) return true;
    }
    return false;
  }

 private:
  static constexpr size_t kMaxRanges = 16;
  bool all_ = true;
  std::vector<std::pair<int32_t, int32_t>> ranges_;
};

}  // namespace orv
