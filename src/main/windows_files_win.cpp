#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "main/log_text.h"
#include "main/resume.h"
#include "main/windows_ports.h"
#include "util/private_folder.h"
#include "util/last_error.h"
#include "util/no_redirect_file.h"
#include "util/no_redirect_file.h"
#include "util/private_folder.h"
#include "util/file_paths.h"
#include "util/file_paths.h"

namespace orv {
namespace {

// The run's folder's name: this, then eight hexadecimal digits.
constexpr wchar_t kRunFolderPrefix[] = L"orv";
// Length of the ".exe" that MakeTempInstallerPathIn appends to the platform's temporary name.
constexpr size_t kExeSuffixLength = 4;
// Longest module path the system can report, in characters with the terminator.
constexpr DWORD kMaxModulePath = 32768;

Result<std::wstring> TempFolder() {
  const DWORD needed = GetTempPathW(0, nullptr);
  if (needed == 0) return LastErrorStatus("Can't find the temporary folder");
  std::wstring folder(needed, L'\0');
  const DWORD written = GetTempPathW(needed, &folder[0]);
  if (written == 0) return LastErrorStatus("Can't find the temporary folder");
  if (written >= needed) return Status::Failure(ERROR_INSUFFICIENT_BUFFER, "Can't find the temporary folder");
  folder.resize(written);
  return folder;
}

class WindowsCheckedInstaller final : public CheckedInstaller {
 public:
  WindowsCheckedInstaller(UniqueHandle file, std::wstring path, FileSums sums, SignatureReader readSignature)
      : file_(std::move(file)), path_(std::move(path)), sums_(sums), readSignature_(readSignature) {}
  const std::wstring& path() const override { return path_; }
  const FileSums& sums() const override { return sums_; }
  SignatureReading ReadSignature() override {
    if (!readSignature_) {
      SignatureReading none;
      none.trustResult = static_cast<int32_t>(E_HANDLE);
      return none;
    }
    return readSignature_(file_.get(), path_);
  }
  Result<std::unique_ptr<StartedInstaller>> Start(const RunFolder& folder, const std::wstring& parameters) override;

 private:
  UniqueHandle file_;
  std::wstring path_;
  FileSums sums_;
  SignatureReader readSignature_;
};

// The started installer's process.
class WindowsStartedInstaller final : public StartedInstaller {
 public:
  explicit WindowsStartedInstaller(UniqueHandle process) : process_(std::move(process)) {}
  Result<uint32_t> Wait() override {
    if (WaitForSingleObject(process_.get(), INFINITE) != WAIT_OBJECT_0) return LastErrorStatus("WaitForSingleObject");
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return LastErrorStatus("GetExitCodeProcess");
    return static_cast<uint32_t>(code);
  }

 private:
  UniqueHandle process_;
};

Result<std::unique_ptr<StartedInstaller>> WindowsCheckedInstaller::Start(const RunFolder&,
                                                                        const std::wstring& parameters) {
  SHELLEXECUTEINFOW record = {};
  record.cbSize = sizeof(record);
  // No shell error box: a failed launch is reported once, by the run's own error box.
  record.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  record.lpFile = path_.c_str();
  record.lpParameters = parameters.c_str();
  record.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&record)) return LastErrorStatus("ShellExecuteExW");
  if (!record.hProcess) return Status::Failure(ERROR_INVALID_HANDLE, "ShellExecuteExW gave no process");
  return std::unique_ptr<StartedInstaller>(std::make_unique<WindowsStartedInstaller>(UniqueHandle{record.hProcess}));
}

// Writes the download file by its name, for downloads that do not hold it open (the platform's
// download service writes the name itself).
class PathWriter final : public FileWriter {
 public:
  explicit PathWriter(const std::wstring& path) : path_(path) {}
  uint64_t size() const override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  Status Append(const void* data, size_t size) override {
    UniqueHandle file{CreateFileW(path_.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return LastErrorStatus("CreateFileW");
    DWORD written = 0;
    if (!WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr)) return LastErrorStatus("WriteFile");
    if (written != size) return Status::Failure(ERROR_WRITE_FAULT, "WriteFile");
    return {};
  }
  Status Truncate() override {
    UniqueHandle file{CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return LastErrorStatus("CreateFileW");
    return {};
  }

 private:
  const std::wstring& path_;
};

class WindowsDownloadFile final : public DownloadFile {
 public:
  WindowsDownloadFile(std::wstring path, SignatureReader readSignature)
      : path_(std::move(path)), readSignature_(readSignature), writer_(path_) {}
  const std::wstring& path() const override { return path_; }
  FileWriter& writer() override { return writer_; }
  Result<std::unique_ptr<CheckedInstaller>> Check() override {
    UniqueHandle file = OpenLockedForCheck(path_);
    if (!file) return LastErrorStatus([&] { return "Failed to open the file " + Quoted(path_) + " for its check"; });
    HandleByteSource source(file.get());
    FileSums sums;
    if (!ComputeFileSums(source, sums)) {
      return LastErrorStatus([&] { return "Failed to read the file " + Quoted(path_); });
    }
    return std::unique_ptr<CheckedInstaller>(
        std::make_unique<WindowsCheckedInstaller>(std::move(file), path_, sums, readSignature_));
  }

 private:
  std::wstring path_;
  SignatureReader readSignature_;
  PathWriter writer_;
};

class WindowsRunFolder final : public RunFolder {
 public:
  explicit WindowsRunFolder(SignatureReader readSignature) : readSignature_(readSignature) {}
  ~WindowsRunFolder() override {
    if (kept_ || folder_.path().empty()) return;
    if (!installer_.empty()) DeleteFileW(installer_.c_str());
    if (!placeholder_.empty()) DeleteFileW(placeholder_.c_str());
    static_cast<void>(folder_.Remove());
  }
  [[nodiscard]] Status Create() {
    const Result<std::wstring> temp = TempFolder();
    if (!temp.ok()) return temp.status();
    if (!folder_.Create(*temp, kRunFolderPrefix, ProcessIsElevated())) {
      return LastErrorStatus([&] { return "Can't create a download folder in " + Quoted(*temp); });
    }
    return {};
  }
  const std::wstring& path() const override { return folder_.path(); }
  Result<std::unique_ptr<DownloadFile>> CreateDownloadFile() override {
    const std::unique_ptr<wchar_t[]> made = MakeTempInstallerPathIn(folder_.path().c_str());
    const std::wstring path = made ? made.get() : L"";
    if (path.size() <= kExeSuffixLength) {
      return LastErrorStatus([&] { return "Can't make a download name in " + Quoted(folder_.path()); });
    }
    placeholder_ = path.substr(0, path.size() - kExeSuffixLength);
    installer_ = path;
    return std::unique_ptr<DownloadFile>(std::make_unique<WindowsDownloadFile>(path, readSignature_));
  }
  Status DeleteFile(const std::wstring& path) override {
    if (!::DeleteFileW(path.c_str())) return LastErrorStatus("DeleteFileW");
    if (path == installer_) installer_.clear();
    return {};
  }
  Status Remove() override {
    if (!placeholder_.empty() && !::DeleteFileW(placeholder_.c_str())) {
      const Status failed = LastErrorStatus("DeleteFileW");
      if (failed.code() != ERROR_FILE_NOT_FOUND) return failed;
    }
    placeholder_.clear();
    if (!folder_.Remove()) return LastErrorStatus("RemoveDirectoryW");
    kept_ = true;  // nothing left to remove
    return {};
  }
  void Keep() override { kept_ = true; }

 private:
  SignatureReader readSignature_;
  PrivateFolder folder_;
  std::wstring placeholder_;  // the empty file the platform made beside the download's name
  std::wstring installer_;    // the download's name, until it is deleted
  bool kept_ = false;
};

class WindowsOwnImage final : public OwnImage {
 public:
  WindowsOwnImage(UniqueHandle file, std::wstring path) : file_(std::move(file)), path_(std::move(path)) {}
  bool IsAt(const std::wstring& path) override { return IsSameFile(path_, path); }
  Status CopyTo(const std::wstring& target) override {
    if (!CopyFileNoRedirect(path_, target)) return LastErrorStatus("CopyFileNoRedirect");
    return {};
  }

 private:
  UniqueHandle file_;
  std::wstring path_;
};

Result<std::wstring> OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (written == 0) return LastErrorStatus("GetModuleFileNameW");
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    if (path.size() >= kMaxModulePath) return Status::Failure(ERROR_INSUFFICIENT_BUFFER, "GetModuleFileNameW");
    path.resize(path.size() * 2);
  }
}

}  // namespace

Result<std::unique_ptr<RunFolder>> WindowsFiles::MakeRunFolder() {
  auto folder = std::make_unique<WindowsRunFolder>(readSignature_);
  const Status created = folder->Create();
  if (!created.ok()) return created;
  return std::unique_ptr<RunFolder>(std::move(folder));
}

Result<std::unique_ptr<OwnImage>> WindowsFiles::HoldOwnImage() {
  const Result<std::wstring> path = OwnPath();
  if (!path.ok()) return path.status();
  UniqueHandle file{CreateFileW(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return LastErrorStatus([&] { return "Unable to hold the stub's own file " + Quoted(*path); });
  return std::unique_ptr<OwnImage>(std::make_unique<WindowsOwnImage>(std::move(file), *path));
}

Result<std::wstring> WindowsFiles::ResumeFolder() {
  wchar_t programs[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE) || programs[0] == L'\0') {
    return Status::Failure(ERROR_PATH_NOT_FOUND, "SHGetSpecialFolderPathW");
  }
  std::wstring folder = programs;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + kResumeFolderName + L'\\';
}

Status WindowsFiles::SecureResumeFolder(const std::wstring& folder) {
  if (!SecureAdminsOnlyFolder(folder)) return LastErrorStatus("SecureAdminsOnlyFolder");
  return {};
}

}  // namespace orv
