#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"
#include "base/unique_handle.h"
#include "held_files/file_writer.h"

namespace orv {

// A download file written through the one handle that created it. While the writer holds it,
// nobody else may open the file for writing or deleting, nor rename it; readers may.
class HeldFileWriter final : public FileWriter {
 public:
  // A failure (the platform's code) when path cannot be created new: something is at the name
  // already (a link there included, which is not followed) or its folder refuses it.
  [[nodiscard]] static Result<HeldFileWriter> Create(const std::wstring& path);

  uint64_t size() const override { return size_; }
  [[nodiscard]] Status Append(const void* data, size_t size) override;
  [[nodiscard]] Status Truncate() override;
  // Lets the file go, so that it can be opened for its check; later writes fail.
  void Close() { file_.reset(); }

 private:
  explicit HeldFileWriter(UniqueHandle file) : file_(std::move(file)) {}
  UniqueHandle file_;
  uint64_t size_ = 0;
};

}  // namespace orv
