#include "download/callback_handler.h"

#include <utility>

namespace orv {

CallbackHandler::CallbackHandler(std::shared_ptr<DownloadWatch> watch, uint64_t sizeLimit)
    : watch_(std::move(watch)), sizeWatch_(sizeLimit) {}

STDMETHODIMP CallbackHandler::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IBindStatusCallback) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IBindStatusCallback*>(this);
    return S_OK;
  }
  if (IsEqualIID(riid, IID_IHttpNegotiate)) {
    *ppv = static_cast<IHttpNegotiate*>(this);
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
  if (!sizeWatch_.Observe(ulStatusCode, ulProgress, ulProgressMax)) return E_ABORT;
  return watch_->Report(ulProgress, ulProgressMax, ulStatusCode, GetTickCount()) ? S_OK : E_ABORT;
}

STDMETHODIMP CallbackHandler::OnStopBinding(HRESULT, LPCWSTR) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::OnObjectAvailable(REFIID, IUnknown*) { return E_NOTIMPL; }

STDMETHODIMP CallbackHandler::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) {
  if (additionalHeaders) *additionalHeaders = nullptr;
  return S_OK;
}

STDMETHODIMP CallbackHandler::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalRequestHeaders) {
  if (additionalRequestHeaders) *additionalRequestHeaders = nullptr;
  return watch_->NoteHttpStatus(responseCode, GetTickCount()) ? S_OK : E_ABORT;
}

}  // namespace orv
