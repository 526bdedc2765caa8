#include "main/run_sequence.h"

#include <objbase.h>

#include <cstdlib>
#include <ctime>
#include <ios>
#include <string>

#include "config/config_document.h"
#include "config/config_fetch.h"
#include "config/download_size_key.h"
#include "main/command_line.h"
#include "main/download_url.h"
#include "main/installer_download.h"
#include "main/installer_launch.h"
#include "main/logging.h"
#include "main/progress_dialog.h"
#include "main/run_errors.h"
#include "util/file_crc32.h"
#include "util/temp_paths.h"
#include "util/unique_handle.h"

namespace {

constexpr wchar_t kMutexName[] = L"5b2d9e71-3c4a-4f08-9d6e-a7c1e2f04b93";

uint32_t Fail(RunError error) {
  MessageBoxW(nullptr, ErrorBoxText(error), kErrorBoxTitle, MB_ICONERROR);
  return static_cast<uint32_t>(error);
}

uint32_t FailConfig(const std::string& error) {
  LOG(ERROR) << "Error parsing file. Error: " << LogValue(error);
  return Fail(RunError::ConfigParse);
}

void DeleteInstaller(const wchar_t* path) {
  if (DeleteFileW(path)) {
    LOG(INFO) << Quoted(path) << " deleted";
  } else {
    const DWORD error = GetLastError();
    LOG(WARNING) << "Unable to delete installer from temp directory " << Quoted(path) << ". Error code "
                 << static_cast<unsigned long>(error);
  }
}

// Everything after the single-instance guard and the logging set-up; returns the result code.
uint32_t RunGuarded(HINSTANCE instance, const std::wstring& commandLine, const Endpoints& endpoints) {
  LOG(INFO) << "Downloading config file";
  std::wstring configText;
  if (!FetchConfiguration(endpoints.configUrl, !endpoints.allowInvalidCertificates, configText)) {
    LOG(ERROR) << "Can't download config file";
    return Fail(RunError::ConfigFetch);
  }
  LOG(INFO) << "Config file has been downloaded successfully";
  LOG(INFO) << "Parsing config file";
  ConfigDocument document;
  std::string error;
  if (!document.Parse(configText, error)) return FailConfig(error);

  StubConfig config;
  if (!document.ReadShortcut(config.shortcut, error)) return FailConfig(error);
  const bool resumeShortcut = config.shortcut && !HasNoShortcutSwitch(commandLine);

  StartProgressDialog(instance);
  LOG(INFO) << "Downloading wrapper";
  const std::unique_ptr<wchar_t[]> installerPath = MakeTempInstallerPath();

  if (!document.ReadWrapper(config.wrapper, error)) return FailConfig(error);
  std::optional<uint64_t> installerSize;
  if (!ReadDownloadSize(configText, installerSize, error)) return FailConfig(error);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  const std::wstring downloadUrl = AppendCacheBuster(config.wrapper, static_cast<unsigned>(std::rand()));
  if (DownloadInstaller(downloadUrl, installerPath.get(), installerSize) != S_OK) {
    LOG(ERROR) << "Can't download wrapper to " << Quoted(installerPath.get());
    return Fail(RunError::Download);
  }
  LOG(INFO) << "Wrapper successfully downloaded to " << Quoted(installerPath.get());

  uint32_t crc = 0;
  try {
    crc = FileCrc32(installerPath.get());
  } catch (const std::ios_base::failure& failure) {
    LOG(ERROR) << LogValue(failure.what());
    return Fail(RunError::ChecksumOpen);
  }
  if (!document.ReadChecksum(config.checksum, error)) return FailConfig(error);
  if (crc != config.checksum) {
    LOG(ERROR) << "Mismatch of the wrapper checksum";
    return Fail(RunError::ChecksumMismatch);
  }
  LOG(INFO) << "Checksum is OK. Continue...";

  if (!document.ReadVersion(config.version, error)) return FailConfig(error);
  const LaunchRequest request{installerPath.get(), config.version, commandLine, resumeShortcut, &endpoints};
  uint32_t result = 0;
  const bool launched = LaunchInstallerAndAct(request, result);
  DeleteInstaller(installerPath.get());
  CoUninitialize();
  if (!launched) return Fail(RunError::Launch);
  LOG(INFO) << "Tavlin wrapper exiting";
  return result;
}

}  // namespace

uint32_t RunSetup(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints) {
  if (UniqueHandle existing{OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) return 0;
  UniqueHandle mutex{CreateMutexW(nullptr, FALSE, kMutexName)};
  // Two stubs started together can both miss the other's mutex in OpenMutexW; the creation
  // tells which one came second.
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  InitLogging();
  LOG(INFO) << "Tavlin wrapper started";
  const uint32_t result = RunGuarded(instance, commandLine ? commandLine : L"", endpoints);
  ReleaseMutex(mutex.get());
  return result;
}
