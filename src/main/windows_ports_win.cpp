#include "main/windows_ports.h"

#include <shellapi.h>

#include "base/unique_resource.h"
#include "config/cng_verifier.h"
#include "config/highest_serial.h"
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

// The progress dialog while it is up: its thread, the bar and the end posted to it from the
// download's thread, the user's close.
class DialogScope final : public ProgressScope {
 public:
  DialogScope(HINSTANCE instance, RunLog& log, HANDLE userClosed)
      : log_(log), userClosed_(userClosed), dialog_(userClosed) {
    dialog_.Start(instance);
    // Once the dialog is up every status reaches it; without it the download goes on regardless.
    static_cast<void>(dialog_.WaitUntilShown(kDialogWaitMs));
  }
  ~DialogScope() override {
    if (!dialog_.EndAndWait(kDialogWaitMs)) log_.Log(LogLevel::Warning, "The progress dialog did not close in time");
  }
  void SetBarPosition(int32_t percent) override { dialog_.channel()->PostPosition(percent); }
  void EndProgressDialog() override { dialog_.channel()->RequestEnd(); }
  bool Pause(uint32_t ms) override { return pacer_.Pause(ms); }

 private:
  RunLog& log_;
  HANDLE userClosed_;
  ProgressDialog dialog_;
  EventPacer pacer_{userClosed_};
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

Result<std::string> WindowsNetwork::FetchConfiguration() {
  Result<FetchedDocument> fetched = FetchConfigurationDocument(endpoints_.configUrl, !endpoints_.allowInvalidCertificates);
  if (!fetched.ok()) return fetched.status();
  return std::move(fetched->bytes);
}

Result<FetchedDocument> WindowsNetwork::FetchConfigurationSignature() {
  const std::wstring address = SignatureAddress(endpoints_.configUrl ? endpoints_.configUrl : L"");
  return FetchConfigurationDocument(address.c_str(), !endpoints_.allowInvalidCertificates);
}

Result<bool> WindowsConfigTrust::Verify(const P256PublicKey& key, const Sha256Digest& digest,
                                        const P256Signature& signature) {
  return CngP256Verifier().Verify(key, digest, signature);
}

Result<std::optional<uint64_t>> WindowsConfigTrust::ReadHighestSerial(const std::wstring& product) {
  return orv::ReadHighestSerial(product);
}

Status WindowsConfigTrust::WriteHighestSerial(const std::wstring& product, uint64_t serial) {
  return orv::WriteHighestSerial(product, serial);
}

int64_t WindowsConfigTrust::UtcNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  // FILETIME counts 100 ns from 1601-01-01; 11644473600 s lie between that and 1970-01-01.
  return static_cast<int64_t>(ticks / 10000000u) - 11644473600;
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
                           bool silent, std::vector<std::wstring> carriedNames)
    : userClosed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      ui_(instance, log_, userClosed_.get()),
      silentUi_(log_),
      silent_(silent),
      network_(endpoints, userClosed_.get()),
      files_(readSignature, std::move(carriedNames)) {}

}  // namespace orv
