#include <windows.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "base/last_error.h"
#include "held_files/admin_folder.h"
#include "held_files/held_file.h"
#include "held_files/held_file_writer.h"
#include "held_files/held_own_image.h"
#include "held_files/held_run_folder.h"
#include "launch/program_launch.h"
#include "main/log_text.h"
#include "main/resume.h"
#include "main/windows_ports.h"
#include "util/file_paths.h"

namespace orv {
namespace {

Result<std::wstring> ProgramFilesFolder() {
  wchar_t programs[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE) || programs[0] == L'\0') {
    return Status::Failure(ERROR_PATH_NOT_FOUND, "Can't find the program files folder");
  }
  return std::wstring(programs);
}

// The installer held from its check; started by the final path of that very handle, where the
// run's folder says.
class WindowsCheckedInstaller final : public CheckedInstaller {
 public:
  WindowsCheckedInstaller(UniqueHandle file, std::wstring path, FileSums sums, SignatureReader readSignature,
                          LaunchPlace place)
      : file_(std::move(file)),
        path_(std::move(path)),
        sums_(sums),
        readSignature_(readSignature),
        place_(std::move(place)) {}
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
  // folder made this file; its place came with the file.
  Result<std::unique_ptr<StartedInstaller>> Start(const RunFolder& folder, const std::wstring& parameters) override;

 private:
  UniqueHandle file_;
  std::wstring path_;
  FileSums sums_;
  SignatureReader readSignature_;
  LaunchPlace place_;
};

// The started installer's process.
class WindowsStartedInstaller final : public StartedInstaller {
 public:
  explicit WindowsStartedInstaller(StartedProcess process) : process_(std::move(process)) {}
  Result<uint32_t> Wait() override { return process_.Wait(); }

 private:
  StartedProcess process_;
};

Result<std::unique_ptr<StartedInstaller>> WindowsCheckedInstaller::Start(const RunFolder&,
                                                                        const std::wstring& parameters) {
  Result<StartedProcess> started = StartHeldProgram(file_.get(), parameters, place_);
  if (!started.ok()) return started.status();
  return std::unique_ptr<StartedInstaller>(std::make_unique<WindowsStartedInstaller>(std::move(*started)));
}

class WindowsDownloadFile final : public DownloadFile {
 public:
  WindowsDownloadFile(std::wstring path, HeldFileWriter writer, SignatureReader readSignature, LaunchPlace place)
      : path_(std::move(path)), writer_(std::move(writer)), readSignature_(readSignature), place_(std::move(place)) {}
  const std::wstring& path() const override { return path_; }
  FileWriter& writer() override { return writer_; }
  Result<std::unique_ptr<CheckedInstaller>> Check() override {
    // The writer's handle has write access, which the check's hold must refuse to everyone.
    writer_.Close();
    Result<UniqueHandle> opened = OpenHeldForCheck(path_);
    if (!opened.ok()) {
      return Status::Failure(opened.status().code(), "Failed to open the file " + QuotedPath(path_) + " for its check");
    }
    UniqueHandle file = std::move(*opened);
    HandleByteSource source(file.get());
    FileSums sums;
    if (!ComputeFileSums(source, sums)) {
      return Status::Failure(source.error(), "Failed to read the file " + QuotedPath(path_));
    }
    return std::unique_ptr<CheckedInstaller>(
        std::make_unique<WindowsCheckedInstaller>(std::move(file), path_, sums, readSignature_, place_));
  }

 private:
  std::wstring path_;
  HeldFileWriter writer_;
  SignatureReader readSignature_;
  LaunchPlace place_;
};

// The run's folder in the administrators-only setup folder; it removes itself unless kept.
class WindowsRunFolder final : public RunFolder {
 public:
  WindowsRunFolder(HeldRunFolder folder, SignatureReader readSignature)
      : folder_(std::move(folder)), path_(folder_.path() + L"\\"), readSignature_(readSignature) {}
  const std::wstring& path() const override { return path_; }
  Result<std::unique_ptr<DownloadFile>> CreateDownloadFile() override {
    const Result<std::wstring> path = MakeDownloadPathIn(path_);
    if (!path.ok()) return Status::Failure(path.status().code(), "Can't make a download name in " + QuotedPath(path_));
    Result<HeldFileWriter> writer = HeldFileWriter::Create(*path);
    if (!writer.ok()) return Status::Failure(writer.status().code(), "Can't create the download file " + QuotedPath(*path));
    return std::unique_ptr<DownloadFile>(std::make_unique<WindowsDownloadFile>(
        *path, std::move(*writer), readSignature_, LaunchPlace{folder_.path(), folder_.tempPath()}));
  }
  Status DeleteFile(const std::wstring& path) override { return DeleteHeldFile(path); }
  Status Remove() override { return folder_.Remove(); }
  void Keep() override { folder_.Keep(); }

 private:
  HeldRunFolder folder_;
  std::wstring path_;
  SignatureReader readSignature_;
};

// The stub's own program file, held from the run's start.
class WindowsOwnImage final : public OwnImage {
 public:
  explicit WindowsOwnImage(HeldOwnImage image) : image_(std::move(image)) {}
  bool IsAt(const std::wstring& path) override { return image_.IsAt(path); }
  Status CopyTo(const std::wstring& target) override { return image_.CopyTo(target); }

 private:
  HeldOwnImage image_;
};

}  // namespace

Result<std::unique_ptr<RunFolder>> WindowsFiles::MakeRunFolder() {
  const Result<std::wstring> programs = ProgramFilesFolder();
  if (!programs.ok()) return programs.status();
  Result<HeldRunFolder> folder = HeldRunFolder::Create(*programs, kResumeFolderName);
  if (!folder.ok()) {
    return Status::Failure(folder.status().code(), "Can't create the run's folder: " + folder.status().detail());
  }
  return std::unique_ptr<RunFolder>(std::make_unique<WindowsRunFolder>(std::move(*folder), readSignature_));
}

Result<std::unique_ptr<OwnImage>> WindowsFiles::HoldOwnImage() {
  Result<HeldOwnImage> image = HeldOwnImage::Hold();
  if (!image.ok()) return image.status();
  return std::unique_ptr<OwnImage>(std::make_unique<WindowsOwnImage>(std::move(*image)));
}

Result<std::wstring> WindowsFiles::ResumeFolder() {
  const Result<std::wstring> programs = ProgramFilesFolder();
  if (!programs.ok()) return programs.status();
  std::wstring folder = *programs;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + kResumeFolderName + L'\\';
}

Status WindowsFiles::SecureResumeFolder(const std::wstring& folder) {
  return SecureAdminsOnlyFolder(folder);
}

}  // namespace orv
