#pragma once
#include <windows.h>
#include <urlmon.h>

#include <cstdint>

#include "http/download_size_limit.h"

// The download's status callback: logs each stage, moves the progress dialog's bar and ends the
// dialog when the last data has arrived. It keeps no reference count and is never freed by
// Release: one instance lives until the process ends.
class CallbackHandler : public IBindStatusCallback {
 public:
  // sizeLimit: the download is aborted (E_ABORT) once its data goes past this many bytes.
  explicit CallbackHandler(uint64_t sizeLimit = kMaxInstallerBytes) : sizeWatch(sizeLimit) {}
  CallbackHandler(const CallbackHandler&) = delete;
  CallbackHandler& operator=(const CallbackHandler&) = delete;

  // Answers IID_IBindStatusCallback and IID_IUnknown with this object (no AddRef): S_OK.
  // Any other id: null in *ppv and E_NOINTERFACE. A null ppv gives E_POINTER.
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
  // Logs the stage; for data statuses moves the bar to the new whole percentage when it rose;
  // at the end of the data ends the dialog. S_OK, so the download goes on; only once the
  // download's caller has given it up, or its data or announced size passes the size limit:
  // nothing is done and the result is E_ABORT.
  STDMETHODIMP OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText) override;
  // Not implemented: E_NOTIMPL; the download's result reaches the caller of the download instead.
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
  // Not implemented: E_NOTIMPL; neither output is touched.
  STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
  // Not implemented: E_NOTIMPL.
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
  // Not implemented: E_NOTIMPL.
  STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* object) override;

 private:
  int32_t lastPercent = 0;  // the last percentage sent to the progress bar
  DownloadSizeWatch sizeWatch;
};
