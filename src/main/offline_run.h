#pragma once
// The steps of a run that writes an offline layout or installs from one: the folder, the
// documents read from it or fetched for it, the installer copied out of it, the layout written.
#include <cstddef>
#include <memory>

#include "config/stub_config.h"
#include "main/offline_switches.h"
#include "main/run_ports.h"
#include "main/setup_run.h"

namespace orv {

// The names of an offline folder's files.
inline constexpr wchar_t kLayoutConfigName[] = L"orv.json";
inline constexpr wchar_t kLayoutSignatureName[] = L"orv.json.sig";
inline constexpr wchar_t kLayoutInstallerName[] = L"installer.exe";
inline constexpr wchar_t kLayoutStubName[] = L"orvsetup.exe";

// Largest configuration and signature read from a folder, in bytes: as much as a fetch accepts.
inline constexpr size_t kMaxFolderConfigBytes = 16u * 1024u * 1024u;
inline constexpr size_t kMaxFolderSignatureBytes = 4096;

// A RunError::Folder failure (logged) when the switches are misused or the build has no keys to
// check a configuration with; otherwise success, with the line that says what the run does.
[[nodiscard]] Status AdmitOfflineRequest(const RunPorts& ports, const RunSettings& settings,
                                         const OfflineRequest& request);

// A RunError::Folder failure (logged) when the request's folder cannot be opened (for a layout:
// made when missing); otherwise the folder, held.
[[nodiscard]] Result<std::unique_ptr<OfflineFolder>> OpenRequestFolder(const RunPorts& ports,
                                                                       const OfflineRequest& request);

// A RunError::Folder failure (logged) when the folder's configuration or signature cannot be read;
// a refusal of AcceptConfiguration; otherwise the configuration, read once from each file.
[[nodiscard]] Result<StubConfig> ReadFolderConfiguration(const RunPorts& ports, const RunSettings& settings,
                                                         OfflineFolder& folder);

// RunError::Folder (logged) when the folder's installer cannot be copied into file; otherwise
// RunError::None, file holding the copy (cut one byte past the configured size, or past the
// largest installer, so that the check refuses a longer file).
[[nodiscard]] RunError CopyFolderInstaller(const RunPorts& ports, OfflineFolder& folder, DownloadFile& file,
                                           const StubConfig& config);

// RunError::Folder (logged) when one of the layout's files cannot be made new and written, or
// the stub's own file is not held (ownImage null); otherwise RunError::None, the folder holding
// the documents, the checked installer and the stub, each line logged.
[[nodiscard]] RunError WriteLayout(const RunPorts& ports, OfflineFolder& folder, const ConfigDocuments& documents,
                                   CheckedInstaller& installer, OwnImage* ownImage);

}  // namespace orv
