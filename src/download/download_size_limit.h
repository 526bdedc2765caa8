#pragma once
#include <cstdint>

namespace orv {

// Follows a download's progress reports, whose byte counters are 32 bits wide and wrap above
// 4 GiB, and tells when the download has gone past its size limit.
class DownloadSizeWatch {
 public:
  // limit: the most bytes allowed; the download must not exceed it.
  explicit DownloadSizeWatch(uint64_t limit) : limit_(limit) {}

  // False, from then on, once the bytes so far (progress mod 2^32; a drop of 2 GiB or more is a
  // wrap, a smaller one a new start) or the announced total pass the limit. Only the data
  // statuses (4, 5, 6) count; each chunk is reported, so no wrap goes unseen.
  [[nodiscard]] bool Observe(uint32_t statusCode, uint32_t progress, uint32_t total);

  // Bytes counted so far.
  uint64_t received() const { return received_; }

 private:
  uint64_t limit_;
  uint64_t received_ = 0;
  uint64_t wraps_ = 0;
  uint32_t lastProgress_ = 0;
  bool exceeded_ = false;
};

}  // namespace orv
