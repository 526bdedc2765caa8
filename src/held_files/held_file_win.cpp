#include "held_files/held_file.h"

#include <objbase.h>
#include <wrl/client.h>

#include <vector>

#include "base/last_error.h"
#include "held_files/final_path.h"
#include "held_files/handle_facts.h"
#include "text/log_escape.h"

namespace orv {
namespace {

constexpr DWORD kCopyChunk = 256 * 1024;
// A name that disappears between CREATE_NEW and the open of the existing one is tried again.
constexpr int kOpenAttempts = 4;


Status Refused(DWORD code, std::wstring_view path) { return Status::Failure(code, "Refused " + QuotedPath(path)); }

// A path's folder, held while something is done in it, and the name in it.
struct HeldParent {
  UniqueHandle handle;
  std::wstring finalPath;  // the folder as the system resolves it ("\\?\C:\Users\me\Desktop")
  std::wstring leaf;

  // The entry's path under the held folder's final path: no link on the way can change.
  std::wstring Entry() const { return EntryPath(finalPath, leaf); }
};

// A failure when path names no single entry of a folder or the folder cannot be held; the folder
// is followed through links (the user's folders are taken as the system names them).
Result<HeldParent> HoldParent(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  wchar_t* name = nullptr;
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], &name);
    if (length == 0) return LastErrorStatus([&] { return "Cannot resolve " + QuotedPath(path); });
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length + 1);
    name = nullptr;
  }
  if (name == nullptr || name == full.c_str()) return Refused(ERROR_INVALID_NAME, path);
  HeldParent parent;
  parent.leaf = std::wstring(name);
  const std::wstring folder = full.substr(0, static_cast<size_t>(name - full.c_str()));
  // Listing access takes part in sharing: without delete sharing, the folder cannot be renamed.
  parent.handle.reset(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!parent.handle) {
    Status failed = LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(folder); });
    // A folder missing on the way is a path not found, as the platform says for a file in it.
    if (failed.code() == ERROR_FILE_NOT_FOUND) failed = Status::Failure(ERROR_PATH_NOT_FOUND, failed.detail());
    return failed;
  }
  Result<std::wstring> final = FinalPathOf(parent.handle.get());
  if (!final.ok()) return final.status();
  parent.finalPath = std::move(*final);
  if (!IsSingleName(parent.leaf)) return Refused(ERROR_INVALID_NAME, path);
  return Result<HeldParent>(std::move(parent));
}

// Success when opened is a plain file (or, with folder, a plain folder) with one name, and is
// the entry itself, not what a link there leads to.
Status CheckOpened(HANDLE opened, const HeldParent& parent, bool folder, const std::wstring& shown) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(opened, &info)) return LastErrorStatus("Cannot read the attributes");
  const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || isFolder != folder) {
    return Refused(ERROR_CANT_ACCESS_FILE, shown);
  }
  if (!folder && info.nNumberOfLinks > 1) return Refused(ERROR_TOO_MANY_LINKS, shown);
  Result<std::wstring> final = FinalPathOf(opened);
  if (!final.ok()) return final.status();
  if (!NamesEntryOf(parent.finalPath, parent.leaf, *final, SameFileName)) return Refused(ERROR_CANT_ACCESS_FILE, shown);
  return {};
}

Status WriteAll(HANDLE file, const unsigned char* data, size_t size) {
  while (size > 0) {
    const DWORD ask = size > kCopyChunk ? kCopyChunk : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, ask, &written, nullptr)) return LastErrorStatus("Cannot write");
    if (written == 0) return Status::Failure(ERROR_WRITE_FAULT, "Cannot write");
    data += written;
    size -= written;
  }
  return {};
}

Status Truncate(HANDLE file) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) return LastErrorStatus("Cannot empty");
  return {};
}

}  // namespace

Result<UniqueHandle> OpenHeldForWrite(const std::wstring& path, WriteAccess access) {
  Result<HeldParent> parent = HoldParent(path);
  if (!parent.ok()) return parent.status();
  const std::wstring entry = parent->Entry();
  const DWORD rights = access == WriteAccess::Append
                           ? FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE
                           : GENERIC_READ | GENERIC_WRITE;
  UniqueHandle file;
  for (int attempt = 0; attempt < kOpenAttempts && !file; ++attempt) {
    // A new name is made new: nothing at the name (a dangling link included) is followed.
    file.reset(CreateFileW(entry.c_str(), rights, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) break;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      return Status::Failure(error, "Cannot create " + QuotedPath(path));
    }
    // An existing name is opened, never created, and checked before anything is written.
    file.reset(CreateFileW(entry.c_str(), rights, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    error = GetLastError();
    if (!file && error != ERROR_FILE_NOT_FOUND) return Status::Failure(error, "Cannot open " + QuotedPath(path));
  }
  // The name exists for CREATE_NEW and not for OPEN_EXISTING every time: a link to nothing.
  if (!file) return Refused(ERROR_CANT_ACCESS_FILE, path);
  Status checked = CheckOpened(file.get(), *parent, false, path);
  if (!checked.ok()) return checked;
  return Result<UniqueHandle>(std::move(file));
}

Result<UniqueHandle> HoldFolder(const std::wstring& folder, DWORD access) {
  Result<HeldParent> parent = HoldParent(folder);
  if (!parent.ok()) return parent.status();
  UniqueHandle held{CreateFileW(parent->Entry().c_str(), access | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!held) return LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(folder); });
  Status checked = CheckOpened(held.get(), *parent, true, folder);
  if (!checked.ok()) return checked;
  return Result<UniqueHandle>(std::move(held));
}

Result<UniqueHandle> MakeHeldFolder(const std::wstring& folder) {
  {
    Result<HeldParent> parent = HoldParent(folder);
    if (!parent.ok()) return parent.status();
    // A link at the name makes the name exist: it is refused by the hold below, never followed.
    if (!CreateDirectoryW(parent->Entry().c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return LastErrorStatus([&] { return "Cannot create the folder " + QuotedPath(folder); });
    }
  }
  return HoldFolder(folder);
}

Status DeleteHeldFile(const std::wstring& path) {
  Result<HeldParent> parent = HoldParent(path);
  if (!parent.ok()) return parent.status();
  const UniqueHandle file{CreateFileW(parent->Entry().c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!file) return LastErrorStatus([&] { return "Cannot open " + QuotedPath(path); });
  Status checked = CheckOpened(file.get(), *parent, false, path);
  if (!checked.ok()) return checked;
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
    return LastErrorStatus([&] { return "Cannot delete " + QuotedPath(path); });
  }
  return {};
}

Status ReplaceHeldFile(const std::wstring& path, const void* data, size_t size) {
  Result<UniqueHandle> file = OpenHeldForWrite(path);
  if (!file.ok()) return file.status();
  Status done = Truncate(file->get());
  if (done.ok()) done = WriteAll(file->get(), static_cast<const unsigned char*>(data), size);
  return done;
}

Status CopyToHeldFile(HANDLE source, const std::wstring& target) {
  Result<UniqueHandle> to = OpenHeldForWrite(target);
  if (!to.ok()) return to.status();
  Status done = Truncate(to->get());
  if (!done.ok()) return done;
  std::vector<unsigned char> buffer(kCopyChunk);
  uint64_t offset = 0;
  for (;;) {
    // Read at an offset of its own: the source handle's file position belongs to its owner.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(source, buffer.data(), kCopyChunk, &read, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) return {};
      return LastErrorStatus("Cannot read the source");
    }
    if (read == 0) return {};
    done = WriteAll(to->get(), buffer.data(), read);
    if (!done.ok()) return done;
    offset += read;
  }
}

Status SaveShellLinkHeld(IUnknown* link, const std::wstring& path) {
  using Microsoft::WRL::ComPtr;
  if (link == nullptr || path.empty()) return Status::Failure(static_cast<uint32_t>(E_INVALIDARG), "No link to save");
  // The link's bytes are made in memory, then written through a handle that was checked.
  ComPtr<IPersistStream> persist;
  HRESULT result = link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.GetAddressOf()));
  ComPtr<IStream> stream;
  if (SUCCEEDED(result)) result = CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
  if (SUCCEEDED(result)) result = persist->Save(stream.Get(), TRUE);
  STATSTG stat{};
  if (SUCCEEDED(result)) result = stream->Stat(&stat, STATFLAG_NONAME);
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(result)) result = GetHGlobalFromStream(stream.Get(), &memory);
  if (FAILED(result)) return Status::Failure(static_cast<uint32_t>(result), "Cannot serialise the shell link");
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr) return LastErrorStatus("Cannot read the shell link's bytes");
  Status written = ReplaceHeldFile(path, bytes, static_cast<size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return written;
}

Result<UniqueHandle> OpenHeldForCheck(const std::wstring& path) {
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr)};
  if (!file) return LastErrorStatus("");
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return LastErrorStatus("");
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return Status::Failure(ERROR_CANT_ACCESS_FILE, "");
  }
  return Result<UniqueHandle>(std::move(file));
}

bool HandleByteSource::Read(void* buffer, size_t capacity, size_t& got) {
  const DWORD ask = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
  DWORD read = 0;
  if (!ReadFile(file_, buffer, ask, &read, nullptr)) {
    error_ = GetLastError();
    return false;
  }
  got = read;
  return true;
}

}  // namespace orv
