// The download status callback as the download service sees it: its COM identity and results.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include "download/callback_handler.h"

namespace {
using namespace orv;

// A handler whose watch reports to a sink that records nothing: these tests look at the handler's
// COM face only.
class SilentSink final : public ProgressSink {
 public:
  void LogLine(const std::string&) override {}
  void SetBarPosition(int32_t) override {}
  void EndProgressDialog() override {}
};

std::shared_ptr<DownloadWatch> NewWatch() {
  return std::make_shared<DownloadWatch>(std::make_unique<SilentSink>(), GetTickCount());
}

TEST(CallbackHandler, AnswersOnlyItsThreeInterfaces) {
  CallbackHandler handler(NewWatch());
  IBindStatusCallback* callback = &handler;
  for (REFIID iid : {IID_IBindStatusCallback, IID_IUnknown}) {
    void* out = nullptr;
    EXPECT_EQ(callback->QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(callback));
  }
  void* negotiate = nullptr;
  EXPECT_EQ(callback->QueryInterface(IID_IHttpNegotiate, &negotiate), S_OK);
  EXPECT_EQ(negotiate, static_cast<void*>(static_cast<IHttpNegotiate*>(&handler)));
  for (REFIID iid : {IID_IBinding, IID_IServiceProvider, IID_IHttpNegotiate2, IID_IAuthenticate, IID_IDispatch}) {
    void* out = &handler;  // must be overwritten with null
    EXPECT_EQ(callback->QueryInterface(iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(callback->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(CallbackHandler, CountsNothingAndStaysUsableAfterAnyRelease) {
  CallbackHandler handler(NewWatch());
  IBindStatusCallback* callback = &handler;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(callback->AddRef(), 2u);
    EXPECT_EQ(callback->Release(), 1u);
    EXPECT_EQ(callback->Release(), 1u);
  }
  EXPECT_EQ(callback->OnProgress(1, 10, 5, L""), S_OK);
}

TEST(CallbackHandler, LeavesEverythingButProgressUnimplementedAndUntouched) {
  CallbackHandler handler(NewWatch());
  IBindStatusCallback* callback = &handler;
  LONG priority = 77;
  DWORD flags = 0xA5A5A5A5;
  BINDINFO info;
  memset(&info, 0xCC, sizeof info);
  BINDINFO untouched;
  memset(&untouched, 0xCC, sizeof untouched);
  EXPECT_EQ(callback->OnStartBinding(0, nullptr), E_NOTIMPL);
  EXPECT_EQ(callback->GetPriority(&priority), E_NOTIMPL);
  EXPECT_EQ(priority, 77);
  EXPECT_EQ(callback->OnLowResource(0), E_NOTIMPL);
  EXPECT_EQ(callback->OnStopBinding(E_FAIL, L"failed"), E_NOTIMPL);
  EXPECT_EQ(callback->GetBindInfo(&flags, &info), E_NOTIMPL);
  EXPECT_EQ(flags, 0xA5A5A5A5u);
  EXPECT_EQ(memcmp(&info, &untouched, sizeof info), 0);
  EXPECT_EQ(callback->OnDataAvailable(0, 0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(callback->OnObjectAvailable(IID_IUnknown, nullptr), E_NOTIMPL);
}

TEST(CallbackHandler, ProgressNeverStopsTheDownloadEvenWithoutADialog) {
  CallbackHandler handler(NewWatch());
  for (ULONG status : {0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 11ul, 13ul, 14ul, 40ul, 6ul}) {
    EXPECT_EQ(handler.OnProgress(500, status == 5 ? 0 : 1000, status, nullptr), S_OK) << status;
  }
}

TEST(CallbackHandler, ResponsesOf400AndAboveStopTheDownloadAndEveryLaterReport) {
  struct Case {
    DWORD status;
    HRESULT response;
    HRESULT laterProgress;
  };
  const Case cases[] = {
      {200, S_OK, S_OK}, {206, S_OK, S_OK}, {304, S_OK, S_OK}, {399, S_OK, S_OK},
      {400, E_ABORT, E_ABORT}, {404, E_ABORT, E_ABORT}, {503, E_ABORT, E_ABORT}, {999, E_ABORT, E_ABORT},
  };
  for (const Case& c : cases) {
    CallbackHandler handler(NewWatch());
    IHttpNegotiate* negotiate = &handler;
    LPWSTR added = reinterpret_cast<LPWSTR>(&handler);  // must be overwritten with null
    EXPECT_EQ(negotiate->BeginningTransaction(L"http://h/x", L"", 0, &added), S_OK);
    EXPECT_EQ(added, nullptr);
    added = reinterpret_cast<LPWSTR>(&handler);
    EXPECT_EQ(negotiate->OnResponse(c.status, L"HTTP/1.1", L"", &added), c.response) << c.status;
    EXPECT_EQ(added, nullptr) << c.status;
    EXPECT_EQ(handler.OnProgress(1000, 1000, 6, nullptr), c.laterProgress) << c.status;
  }
}

}  // namespace
