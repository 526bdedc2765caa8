#pragma once
#include <windows.h>

#include <string>

#include "util/file_sums.h"
#include "util/unique_handle.h"

namespace orv {

// The installer held open from its check to its launch: others may read it (the launch opens the
// image for execution with read sharing) but not write, delete or rename it.
// An empty handle when the file cannot be opened so (missing, or open for writing elsewhere);
// GetLastError() then tells why. A reparse point at path is opened itself and refused.
UniqueHandle OpenLockedForCheck(const std::wstring& path);

// Reads an open file from its current position with ReadFile.
class HandleByteSource final : public ByteSource {
 public:
  explicit HandleByteSource(HANDLE file) : file_(file) {}
  [[nodiscard]] bool Read(void* buffer, size_t capacity, size_t& got) override;

 private:
  HANDLE file_;
};

}  // namespace orv
