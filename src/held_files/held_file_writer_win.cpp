#include "held_files/held_file_writer.h"

#include <utility>

#include "base/last_error.h"

namespace orv {

Result<HeldFileWriter> HeldFileWriter::Create(const std::wstring& path) {
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!file) return LastErrorStatus("");
  return HeldFileWriter(std::move(file));
}

Status HeldFileWriter::Append(const void* data, size_t size) {
  if (!file_) return Status::Failure(ERROR_INVALID_HANDLE, "WriteFile");
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(size_);
    at.OffsetHigh = static_cast<DWORD>(size_ >> 32);
    const DWORD ask = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes, ask, &written, &at)) return LastErrorStatus("WriteFile");
    if (written == 0) return Status::Failure(ERROR_WRITE_FAULT, "WriteFile");
    size_ += written;
    bytes += written;
    size -= written;
  }
  return {};
}

Status HeldFileWriter::Truncate() {
  if (!file_) return Status::Failure(ERROR_INVALID_HANDLE, "SetFileInformationByHandle");
  FILE_END_OF_FILE_INFO end = {};
  if (!SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof(end))) {
    return LastErrorStatus("SetFileInformationByHandle");
  }
  size_ = 0;
  return {};
}

}  // namespace orv
