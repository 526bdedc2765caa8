#pragma once
#include <cstdint>
#include <optional>

// Largest installer the stub downloads when the configuration names no "size".
inline constexpr uint64_t kMaxInstallerBytes = 4ull * 1024 * 1024 * 1024;

// Follows a download's progress reports, whose byte counters are 32 bits wide and wrap above
// 4 GiB, and tells when the download has gone past its size limit.
class DownloadSizeWatch {
 public:
  // limit: the most bytes allowed; the download must not exceed it.
  explicit DownloadSizeWatch(uint64_t limit) : limit_(limit) {}

  // One report of status statusCode: for the data statuses (4 begin, 5 downloading, 6 end)
  // progress = bytes so far (mod 2^32), total = announced size (0: unknown); other statuses are
  // not counted. False once the bytes so far, counted across wraps, or the announced size exceed
  // the limit; stays false from then on. A drop of 2 GiB or more between two reports is a wrap,
  // a smaller one a new start (a redirect). Every chunk is reported, so no wrap goes unseen.
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

// The limit for a download: the configured size when there is one, otherwise kMaxInstallerBytes.
uint64_t DownloadSizeLimit(std::optional<uint64_t> configuredSize);

// Whether a finished download of fileSize bytes is kept: exactly the configured size when there
// is one, otherwise at most kMaxInstallerBytes.
bool DownloadSizeAcceptable(uint64_t fileSize, std::optional<uint64_t> configuredSize);
