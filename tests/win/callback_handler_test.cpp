// The download status callback as the download service sees it: its COM identity and results.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include "main/callback_handler.h"

namespace {

TEST(CallbackHandler, AnswersOnlyItsTwoInterfaces) {
  CallbackHandler handler;
  IBindStatusCallback* callback = &handler;
  for (REFIID iid : {IID_IBindStatusCallback, IID_IUnknown}) {
    void* out = nullptr;
    EXPECT_EQ(callback->QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(callback));
  }
  for (REFIID iid : {IID_IBinding, IID_IServiceProvider, IID_IHttpNegotiate, IID_IAuthenticate, IID_IDispatch}) {
    void* out = &handler;  // must be overwritten with null
    EXPECT_EQ(callback->QueryInterface(iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(callback->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(CallbackHandler, CountsNothingAndStaysUsableAfterAnyRelease) {
  CallbackHandler handler;
  IBindStatusCallback* callback = &handler;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(callback->AddRef(), 2u);
    EXPECT_EQ(callback->Release(), 1u);
    EXPECT_EQ(callback->Release(), 1u);
  }
  EXPECT_EQ(callback->OnProgress(1, 10, 5, L""), S_OK);
}

TEST(CallbackHandler, LeavesEverythingButProgressUnimplementedAndUntouched) {
  CallbackHandler handler;
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
  CallbackHandler handler;
  for (ULONG status : {0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 11ul, 13ul, 14ul, 40ul, 6ul}) {
    EXPECT_EQ(handler.OnProgress(500, status == 5 ? 0 : 1000, status, nullptr), S_OK) << status;
  }
}

}  // namespace
