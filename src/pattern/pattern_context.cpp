#include "pattern/pattern_context.h"

#include <stdexcept>

namespace orv {

MatchContext::MatchContext(size_t stackLimit, uint64_t stepLimit)
    : stackLimit_(stackLimit), stepLimit_(stepLimit), stack_(kInitialStackEntries, 0) {}

MatchGroup MatchContext::Group(size_t index) const {
  if (index >= groups_.size()) throw std::out_of_range("capture group number out of range");
  return groups_[index];
}

}  // namespace orv
