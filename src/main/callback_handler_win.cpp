#include "main/callback_handler.h"

#include <commctrl.h>

#include "main/installer_download_guard.h"
#include "main/logging.h"
#include "main/progress_dialog.h"
#include "main/progress_step.h"

namespace {

// Carries the status decisions out on the progress dialog of this process.
class DialogSink final : public ProgressSink {
 public:
  void LogLine(const std::string& message) override { LOG(INFO) << message; }
  void SetBarPosition(int32_t percent) override {
    SendMessageW(g_hProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  }
  void EndProgressDialog() override { ::EndProgressDialog(); }
};

}  // namespace

STDMETHODIMP CallbackHandler::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IBindStatusCallback) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IBindStatusCallback*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CallbackHandler::AddRef() { return 2; }

STDMETHODIMP_(ULONG) CallbackHandler::Release() { return 1; }

STDMETHODIMP CallbackHandler::OnStartBinding(DWORD, IBinding*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::GetPriority(LONG*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnLowResource(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR) {
  const StatusReportScope report;
  if (!report.live()) return E_ABORT;
  if (!sizeWatch.Observe(ulStatusCode, ulProgress, ulProgressMax)) return E_ABORT;
  DialogSink sink;
  HandleDownloadStatus(ulProgress, ulProgressMax, ulStatusCode, lastPercent, sink);
  return S_OK;
}

STDMETHODIMP CallbackHandler::OnStopBinding(HRESULT, LPCWSTR) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnObjectAvailable(REFIID, IUnknown*) { return E_NOTIMPL; }
