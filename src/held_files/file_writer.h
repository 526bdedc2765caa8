#pragma once
// Where a download writes its bytes: one file, grown at its end or emptied, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

namespace orv {

// The download file's bytes as the download writes them: one writer at a time, from any thread.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // The bytes the file holds now.
  virtual uint64_t size() const = 0;
  // A failure with the platform's code when the size bytes at data cannot be added at the end.
  [[nodiscard]] virtual Status Append(const void* data, size_t size) = 0;
  // A failure with the platform's code when the file cannot be cut back to no bytes.
  [[nodiscard]] virtual Status Truncate() = 0;
};

// A writer that keeps the bytes in memory (a document of a few KiB, read whole); never fails.
class StringWriter final : public FileWriter {
 public:
  uint64_t size() const override { return bytes.size(); }
  Status Append(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return {};
  }
  Status Truncate() override {
    bytes.clear();
    return {};
  }
  std::string bytes;
};

}  // namespace orv
