#include "download/download_size_limit.h"

namespace orv {

namespace {

constexpr uint32_t kBeginData = 4;
constexpr uint32_t kEndData = 6;
constexpr uint32_t kWrapDrop = 0x80000000u;

}  // namespace

bool DownloadSizeWatch::Observe(uint32_t statusCode, uint32_t progress, uint32_t total) {
  if (exceeded_) return false;
  if (statusCode < kBeginData || statusCode > kEndData) return true;
  if (progress < lastProgress_) {
    if (lastProgress_ - progress >= kWrapDrop) {
      ++wraps_;
    } else {
      wraps_ = 0;
    }
  }
  lastProgress_ = progress;
  received_ = (wraps_ << 32) + progress;
  exceeded_ = received_ > limit_ || total > limit_;
  return !exceeded_;
}

}  // namespace orv
