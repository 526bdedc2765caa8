#include "base/status.h"

namespace orv {

std::string Status::LogText() const {
  if (!failed_) return {};
  if (code_ == 0) return detail_;
  return detail_ + ". Error code " + std::to_string(code_);
}

}  // namespace orv
