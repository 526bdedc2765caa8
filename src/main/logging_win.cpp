#include "main/logging.h"

#include <windows.h>
#include <shlobj.h>

#include <mutex>
#include <string>

#include "base/unique_handle.h"
#include "held_files/held_file.h"

INITIALIZE_EASYLOGGINGPP

namespace orv {
namespace {

constexpr wchar_t kLogFolder[] = L"\\Tavlin";
constexpr wchar_t kLogFile[] = L"\\ORVD.log";
constexpr char kDispatchId[] = "ORVD.log";

// The log file and its folder, held open from one InitLogging to the next: while held, neither
// can be renamed, deleted or swapped for a link, and every line goes to this very file.
class HeldLogFile {
 public:
  // The one lock of the log: a whole line (the library's formatting and this write) under it.
  std::recursive_mutex& lock() { return lock_; }

  void Replace(UniqueHandle folder, UniqueHandle file) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    folder_ = std::move(folder);
    file_ = std::move(file);
  }

  // Appends line, its final line feed written as CR LF; a failed write loses the line only.
  void Write(const std::string& line) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!file_) return;
    std::string bytes = line;
    if (!bytes.empty() && bytes.back() == '\n' && (bytes.size() < 2 || bytes[bytes.size() - 2] != '\r')) {
      bytes.insert(bytes.size() - 1, 1, '\r');
    }
    DWORD written = 0;
    (void)WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

 private:
  std::recursive_mutex lock_;
  UniqueHandle folder_;
  UniqueHandle file_;
};

HeldLogFile& HeldLog() {
  static HeldLogFile held;
  return held;
}

// Hands each line the library formats to the held file; the library's own file output is off.
class HeldFileDispatch : public el::LogDispatchCallback {
 protected:
  void handle(const el::LogDispatchData* data) override {
    if (data->dispatchAction() != el::base::DispatchAction::NormalLog) return;
    const el::LogMessage* message = data->logMessage();
    HeldLog().Write(message->logger()->logBuilder()->build(message, true));
  }
};

// The log file opened through its checked folder; a failure when the application-data folder is
// unknown or the folder or file is refused, refused then naming the file.
Status OpenLogFile(UniqueHandle& folder, UniqueHandle& file, std::wstring& refused) {
  wchar_t appData[MAX_PATH + 1] = {};
  const HRESULT found = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
  if (FAILED(found)) return Status::Failure(static_cast<uint32_t>(found), "No application-data folder");
  const std::wstring folderPath = std::wstring(appData) + kLogFolder;
  refused = folderPath + kLogFile;
  Result<UniqueHandle> madeFolder = MakeHeldFolder(folderPath);
  if (!madeFolder.ok()) return madeFolder.status();
  Result<UniqueHandle> opened = OpenHeldForWrite(folderPath + kLogFile, WriteAccess::Append);
  if (!opened.ok()) return opened.status();
  folder = std::move(*madeFolder);
  file = std::move(*opened);
  refused.clear();
  return {};
}

}  // namespace

void InitLogging() {
  el::Configurations config;
  config.setToDefault();
  config.setGlobally(el::ConfigurationType::Format, "%datetime %level %msg");
  config.setGlobally(el::ConfigurationType::ToFile, "false");
  config.setGlobally(el::ConfigurationType::ToStandardOutput, "true");
  UniqueHandle folder;
  UniqueHandle file;
  std::wstring refused;
  const Status opened = OpenLogFile(folder, file, refused);
  {
    const std::lock_guard<std::recursive_mutex> hold(HeldLog().lock());
    el::Loggers::reconfigureLogger("default", config);
    if (!el::Helpers::logDispatchCallback<HeldFileDispatch>(kDispatchId)) {
      el::Helpers::installLogDispatchCallback<HeldFileDispatch>(kDispatchId);
    }
    HeldLog().Replace(std::move(folder), std::move(file));
  }
  if (!opened.ok() && !refused.empty()) {
    LOG(ERROR) << "Log file refused " << QuotedPath(refused) << ". Error code " << static_cast<unsigned long>(opened.code());
  }
}

void WriteLogLine(LogLevel level, const std::string& message) {
  const std::lock_guard<std::recursive_mutex> hold(HeldLog().lock());
  switch (level) {
    case LogLevel::Info: LOG(INFO) << message; break;
    case LogLevel::Warning: LOG(WARNING) << message; break;
    case LogLevel::Error: LOG(ERROR) << message; break;
  }
}

}  // namespace orv
