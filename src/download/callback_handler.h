#pragma once
#include <windows.h>
#include <urlmon.h>

#include <cstdint>
#include <memory>

#include "config/config_document.h"
#include "download/download_size_limit.h"
#include "download/download_watch.h"

namespace orv {

// The download's status callback. It answers the HTTP negotiation as well, to see the response's
// status: a status of 400 or more stops the download and reaches nothing else. Status reports go
// to the attempt's DownloadWatch (which logs them, moves the bar and ends the dialog by posting).
// It keeps no reference count and is never freed by Release: one instance per attempt lives until
// the process ends.
class CallbackHandler : public IBindStatusCallback, public IHttpNegotiate {
 public:
  // A handler for one download attempt, reporting to watch; the download is aborted (E_ABORT)
  // once its data goes past sizeLimit bytes.
  explicit CallbackHandler(std::shared_ptr<DownloadWatch> watch, uint64_t sizeLimit = kMaxInstallerBytes);
  CallbackHandler(const CallbackHandler&) = delete;
  CallbackHandler& operator=(const CallbackHandler&) = delete;

  // E_POINTER for a null ppv; E_NOINTERFACE with null in *ppv for any id but IID_IBindStatusCallback,
  // IID_IUnknown and IID_IHttpNegotiate; otherwise S_OK with the matching interface (no AddRef).
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  // Always 2; nothing is counted.
  STDMETHODIMP_(ULONG) AddRef() override;
  // Always 1; the object is never freed.
  STDMETHODIMP_(ULONG) Release() override;

  // Not implemented: E_NOTIMPL, nothing kept.
  STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
  // Not implemented: E_NOTIMPL, *priority untouched.
  STDMETHODIMP GetPriority(LONG* priority) override;
  // Not implemented: E_NOTIMPL.
  STDMETHODIMP OnLowResource(DWORD reserved) override;
  // E_ABORT, doing nothing, once the watch refuses the report (attempt given up or HTTP error
  // seen) or the data or announced size passes the size limit; otherwise S_OK after the watch has
  // logged the stage and moved the bar.
  STDMETHODIMP OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText) override;
  // Not implemented: E_NOTIMPL; the download's result reaches the caller of the download instead.
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
  // Not implemented: E_NOTIMPL; neither output is touched.
  STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
  // Not implemented: E_NOTIMPL.
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
  // Not implemented: E_NOTIMPL.
  STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* object) override;

  // S_OK with no added request headers (*additionalHeaders null when given).
  STDMETHODIMP BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved, LPWSTR* additionalHeaders) override;
  // E_ABORT for a status of 400 or more, or once the attempt is given up: the download stops.
  // Otherwise S_OK, no headers added.
  STDMETHODIMP OnResponse(DWORD responseCode, LPCWSTR responseHeaders, LPCWSTR requestHeaders,
                          LPWSTR* additionalRequestHeaders) override;

 private:
  std::shared_ptr<DownloadWatch> watch_;
  DownloadSizeWatch sizeWatch_;
};

}  // namespace orv
