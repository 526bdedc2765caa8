// The administrator's offline folder on Windows: held for the run, its documents read once
// through one handle each, its installer copied into the run's own folder, the layout's files
// made new without following links.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/last_error.h"
#include "held_files/held_file.h"
#include "main/log_text.h"
#include "main/windows_ports.h"

namespace orv {
namespace {

constexpr DWORD kReadChunk = 256 * 1024;

// "X:\": a drive's root, which has no parent folder to hold it in.
bool IsDriveRoot(const std::wstring& folder) {
  return folder.size() == 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/');
}

class WindowsOfflineFolder final : public OfflineFolder {
 public:
  WindowsOfflineFolder(std::wstring path, UniqueHandle held) : path_(std::move(path)), held_(std::move(held)) {}
  const std::wstring& path() const override { return path_; }

  std::wstring PathOf(const wchar_t* name) const override {
    return IsDriveRoot(path_) ? path_ + name : path_ + L"\\" + name;
  }

  Result<std::string> ReadDocument(const wchar_t* name, size_t limit) override {
    StringWriter text;
    const Status read = CopyInto(name, text, limit);
    if (!read.ok()) return read;
    if (text.bytes.size() > limit) {
      return Status::Failure(ERROR_FILE_TOO_LARGE,
                             QuotedPath(PathOf(name)) + " is larger than " + std::to_string(limit) + " bytes");
    }
    return std::move(text.bytes);
  }

  // Opens name once, with read sharing only, and hands its bytes to writer until its end or until
  // more than limit bytes have gone (cut one byte past it).
  Status CopyInto(const wchar_t* name, FileWriter& writer, uint64_t limit) override {
    const std::wstring path = PathOf(name);
    Result<UniqueHandle> opened = OpenHeldForCheck(path);
    if (!opened.ok()) return Status::Failure(opened.status().code(), "Cannot open " + QuotedPath(path));
    std::vector<char> buffer(kReadChunk);
    uint64_t taken = 0;
    while (taken <= limit) {
      DWORD read = 0;
      if (!ReadFile(opened->get(), buffer.data(), kReadChunk, &read, nullptr)) {
        return LastErrorStatus([&] { return "Cannot read " + QuotedPath(path); });
      }
      if (read == 0) return {};
      const uint64_t room = limit + 1 - taken;
      const size_t piece = read > room ? static_cast<size_t>(room) : read;
      const Status appended = writer.Append(buffer.data(), piece);
      if (!appended.ok()) return Status::Failure(appended.code(), "Cannot write the copy of " + QuotedPath(path));
      taken += piece;
    }
    return {};
  }

  Status WriteNew(const wchar_t* name, const std::string& bytes) override {
    return CreateNewHeldFile(PathOf(name), bytes.data(), bytes.size());
  }

 private:
  std::wstring path_;
  UniqueHandle held_;
};

}  // namespace

Result<std::unique_ptr<OfflineFolder>> WindowsFiles::OpenOfflineFolder(const std::wstring& folder, bool make) {
  Result<UniqueHandle> held = Status::Failure(ERROR_INVALID_NAME, "");
  if (IsDriveRoot(folder)) {
    // A drive's root is no link and cannot be renamed: it is only checked to be there.
    UniqueHandle root{CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (!root) return LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(folder); });
    held = std::move(root);
  } else {
    held = make ? MakeHeldFolder(folder) : HoldFolder(folder);
  }
  if (!held.ok()) {
    return Status::Failure(held.status().code(), "Cannot use the folder " + QuotedPath(folder) + ": " +
                                                     held.status().detail());
  }
  return std::unique_ptr<OfflineFolder>(std::make_unique<WindowsOfflineFolder>(folder, std::move(*held)));
}

}  // namespace orv
