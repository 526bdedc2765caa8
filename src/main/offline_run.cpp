#include "main/offline_run.h"

#include <string>
#include <utility>

#include "contract/run_error.h"
#include "main/config_acceptance.h"
#include "main/log_text.h"

namespace orv {
namespace {

Status FolderFailure(const RunPorts& ports, const std::string& line) {
  ports.log.Log(LogLevel::Error, line);
  return Status::Error(RunError::Folder, line);
}

// True when status is a success; otherwise false, its line logged.
bool Logged(const RunPorts& ports, const Status& status) {
  if (!status.ok()) ports.log.Log(LogLevel::Error, status.LogText());
  return status.ok();
}

}  // namespace

Status AdmitOfflineRequest(const RunPorts& ports, const RunSettings& settings, const OfflineRequest& request) {
  if (!request.misuse.empty()) return FolderFailure(ports, "Cannot use the command line: " + request.misuse);
  if (request.mode == OfflineMode::Online) return {};
  if (settings.configKeys.empty()) {
    return FolderFailure(ports, "-layout and -source need a build that checks the configuration's signature");
  }
  if (request.mode == OfflineMode::Layout) {
    ports.log.Log(LogLevel::Info, "Writing an offline layout into " + QuotedPath(request.folder));
  } else {
    ports.log.Log(LogLevel::Info, "Installing from the folder " + QuotedPath(request.folder) +
                                      " without the network: no analytics hit, no cancellation page, no resume "
                                      "copy or shortcut");
  }
  return {};
}

Result<std::unique_ptr<OfflineFolder>> OpenRequestFolder(const RunPorts& ports, const OfflineRequest& request) {
  Result<std::unique_ptr<OfflineFolder>> folder =
      ports.files.OpenOfflineFolder(request.folder, request.mode == OfflineMode::Layout);
  if (!folder.ok()) return FolderFailure(ports, folder.status().LogText());
  return folder;
}

Result<StubConfig> ReadFolderConfiguration(const RunPorts& ports, const RunSettings& settings, OfflineFolder& folder) {
  ports.log.Log(LogLevel::Info, "Reading config file " + QuotedPath(folder.PathOf(kLayoutConfigName)));
  const Result<std::string> document = folder.ReadDocument(kLayoutConfigName, kMaxFolderConfigBytes);
  if (!document.ok()) return FolderFailure(ports, document.status().LogText());
  const Result<std::string> signature = folder.ReadDocument(kLayoutSignatureName, kMaxFolderSignatureBytes);
  if (!signature.ok()) return FolderFailure(ports, signature.status().LogText());
  ports.log.Log(LogLevel::Info, "Parsing config file");
  return AcceptConfiguration(ports, settings, *document, *signature, ConfigOrigin::Folder);
}

RunError CopyFolderInstaller(const RunPorts& ports, OfflineFolder& folder, DownloadFile& file,
                             const StubConfig& config) {
  // A longer file is cut one byte past the configured size: its sums then differ, as they must.
  if (!Logged(ports, folder.CopyInto(kLayoutInstallerName, file.writer(), DownloadSizeLimit(config.size)))) {
    return RunError::Folder;
  }
  ports.log.Log(LogLevel::Info, "Wrapper successfully copied to " + QuotedPath(file.path()));
  return RunError::None;
}

RunError WriteLayout(const RunPorts& ports, OfflineFolder& folder, const ConfigDocuments& documents,
                     CheckedInstaller& installer, OwnImage* ownImage) {
  const auto written = [&](const wchar_t* name, const Status& status) {
    if (!Logged(ports, status)) return false;
    ports.log.Log(LogLevel::Info, "Written " + QuotedPath(folder.PathOf(name)));
    return true;
  };
  if (!written(kLayoutConfigName, folder.WriteNew(kLayoutConfigName, documents.document))) return RunError::Folder;
  if (!written(kLayoutSignatureName, folder.WriteNew(kLayoutSignatureName, documents.signature))) {
    return RunError::Folder;
  }
  if (!written(kLayoutInstallerName, installer.CopyNewTo(folder.PathOf(kLayoutInstallerName)))) {
    return RunError::Folder;
  }
  if (ownImage == nullptr) {
    ports.log.Log(LogLevel::Error,
                  "Can't write " + QuotedPath(folder.PathOf(kLayoutStubName)) + ": the stub's own file is not held");
    return RunError::Folder;
  }
  if (!written(kLayoutStubName, ownImage->CopyNewTo(folder.PathOf(kLayoutStubName)))) return RunError::Folder;
  ports.log.Log(LogLevel::Info, "Offline layout written to " + QuotedPath(folder.path()) + "; nothing started");
  return RunError::None;
}

}  // namespace orv
