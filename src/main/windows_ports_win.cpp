#include "main/windows_ports.h"

#include <shellapi.h>

#include "base/unique_resource.h"
#include "config/stub_config.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "download/winhttp_transfer.h"
#include "http/http_client.h"
#include "launch/open_web_page.h"
#include "main/logging.h"
#include "main/progress_dialog.h"
#include "main/resume.h"
#include "text/log_escape.h"

#include <rpc.h>

#include <cstdlib>
#include <ctime>

namespace orv {
namespace {

constexpr wchar_t kMutexName[] = L"5b2d9e71-3c4a-4f08-9d6e-a7c1e2f04b93";
// How long the download waits for the progress dialog to come up before it starts without it,
// and how long the run waits for the dialog to go after a download.
constexpr DWORD kDialogWaitMs = 5000;

// Strings that the RPC run-time allocated: freed with RpcStringFreeW.
struct RpcStringTraits {
  using Handle = RPC_WSTR;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle text) { return text != nullptr; }
  static void Close(Handle text) { RpcStringFreeW(&text); }
};

// The single-instance mutex, held while the object lives (its ownership is never taken).
class InstanceGuard final : public Scope {
 public:
  explicit InstanceGuard(UniqueHandle mutex) : mutex_(std::move(mutex)) {}

 private:
  UniqueHandle mutex_;
};

// The progress dialog while it is up: its thread, its sink, the user's close.
class DialogScope final : public ProgressScope {
 public:
  DialogScope(HINSTANCE instance, RunLog& log, HANDLE userClosed)
      : log_(log), userClosed_(userClosed), dialog_(userClosed), sink_(MakeDialogProgressSink(dialog_.channel(), log)) {
    dialog_.Start(instance);
    // Once the dialog is up every status reaches it; without it the download goes on regardless.
    static_cast<void>(dialog_.WaitUntilShown(kDialogWaitMs));
  }
  ~DialogScope() override {
    if (!dialog_.EndAndWait(kDialogWaitMs)) log_.Log(LogLevel::Warning, "The progress dialog did not close in time");
  }
  ProgressSink& sink() override { return *sink_; }
  void Restart() override { dialog_.channel()->PostPosition(0); }
  bool Pace(uint32_t ms) override {
    if (!userClosed_) {
      Sleep(ms);
      return true;
    }
    return WaitForSingleObject(userClosed_, ms) != WAIT_OBJECT_0;
  }
  bool closedByUser() const override { return userClosed_ && WaitForSingleObject(userClosed_, 0) == WAIT_OBJECT_0; }

 private:
  RunLog& log_;
  HANDLE userClosed_;
  ProgressDialog dialog_;
  std::unique_ptr<ProgressSink> sink_;
};

}  // namespace

void WindowsRunLog::Start() { InitLogging(); }

void WindowsRunLog::Log(LogLevel level, const std::string& message) {
  // One call, one line, whatever the values in the message hold.
  WriteLogLine(level, EscapeLogValue(message));
}

void WindowsUserInterface::ShowErrorBox(const wchar_t* text) { MessageBoxW(nullptr, text, kErrorBoxTitle, MB_ICONERROR); }

std::unique_ptr<ProgressScope> WindowsUserInterface::StartProgress() {
  return std::make_unique<DialogScope>(instance_, log_, userClosed_);
}

Result<std::wstring> WindowsNetwork::FetchConfiguration() {
  return FetchConfigurationText(endpoints_.configUrl, !endpoints_.allowInvalidCertificates);
}

unsigned WindowsNetwork::DrawCacheBuster() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  return static_cast<unsigned>(std::rand());
}

std::unique_ptr<DownloadTransfer> WindowsNetwork::OpenTransfer(DownloadFile& file, const DownloadTimings& timings) {
  return std::make_unique<WinHttpTransfer>(file.writer(), userClosed_, timings);
}

void WindowsNetwork::SendFailureHit(const std::wstring& url) {
  HttpClient client(url);
  client.setTotalDeadline(kFailureHitDeadlineMs);
  static_cast<void>(client.execute(L"GET"));
}

std::unique_ptr<Scope> WindowsProcesses::ClaimSingleInstance() {
  if (UniqueHandle existing{OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) return nullptr;
  UniqueHandle mutex{CreateMutexW(nullptr, FALSE, kMutexName)};
  // Two stubs started together can both miss the other's mutex in OpenMutexW; the creation
  // tells which one came second.
  const bool second = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
  if (second) return nullptr;
  return std::make_unique<InstanceGuard>(std::move(mutex));
}

Result<std::wstring> WindowsProcesses::NewUuidText() {
  UUID uuid;
  const RPC_STATUS created = UuidCreate(&uuid);
  if (created != RPC_S_OK && created != RPC_S_UUID_LOCAL_ONLY) {
    return Status::Failure(static_cast<uint32_t>(created), "UuidCreate");
  }
  UniqueResource<RpcStringTraits> converted;
  const RPC_STATUS status = UuidToStringW(&uuid, converted.out());
  if (status != RPC_S_OK || !converted) return Status::Failure(static_cast<uint32_t>(status), "UuidToStringW");
  return std::wstring(reinterpret_cast<const wchar_t*>(converted.get()));
}

Status WindowsProcesses::OpenPage(const std::wstring& address) { return OpenWebPageAsDesktopUser(address); }

WindowsPorts::WindowsPorts(HINSTANCE instance, const Endpoints& endpoints, SignatureReader readSignature,
                           bool silent)
    : userClosed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      ui_(instance, log_, userClosed_.get()),
      silentUi_(log_),
      silent_(silent),
      network_(endpoints, userClosed_.get()),
      files_(readSignature) {}

}  // namespace orv
