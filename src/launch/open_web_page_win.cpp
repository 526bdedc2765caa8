#include "launch/open_web_page.h"

#include <windows.h>
#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shlobj.h>
#include <shldisp.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "base/com_scope.h"
#include "text/web_address.h"

namespace orv {

using Microsoft::WRL::ComPtr;

namespace {

// {9BA05972-F6A8-11CF-A442-00A0C90A8F39}
constexpr CLSID kShellWindows = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
// {4C96BE40-915C-11CF-99D3-00AA004AE837}
constexpr GUID kTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// Owns a VARIANT and clears it once.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

// The desktop's IShellDispatch2 (Explorer's own automation object); a failed HRESULT otherwise.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  HRESULT result = CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                    reinterpret_cast<void**>(windows.GetAddressOf()));
  if (FAILED(result)) return result;
  Variant location;
  location.get()->vt = VT_I4;
  location.get()->lVal = CSIDL_DESKTOP;
  Variant root;
  long window = 0;
  ComPtr<IDispatch> desktop;
  result = windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                 desktop.GetAddressOf());
  if (result != S_OK || !desktop) return FAILED(result) ? result : E_FAIL;
  ComPtr<IServiceProvider> provider;
  result = desktop.As(&provider);
  if (FAILED(result)) return result;
  ComPtr<IShellBrowser> browser;
  result = provider->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser),
                                  reinterpret_cast<void**>(browser.GetAddressOf()));
  if (FAILED(result)) return result;
  ComPtr<IShellView> view;
  result = browser->QueryActiveShellView(view.GetAddressOf());
  if (FAILED(result) || !view) return FAILED(result) ? result : E_FAIL;
  ComPtr<IDispatch> background;
  result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.GetAddressOf()));
  if (FAILED(result)) return result;
  ComPtr<IShellFolderViewDual> folderView;
  result = background.As(&folderView);
  if (FAILED(result)) return result;
  ComPtr<IDispatch> application;
  result = folderView->get_Application(application.GetAddressOf());
  if (FAILED(result) || !application) return FAILED(result) ? result : E_FAIL;
  return application.As(&shell);
}

HRESULT OpenThroughDesktopShell(const std::wstring& url) {
  ComPtr<IShellDispatch2> shell;
  HRESULT result = DesktopShellDispatch(shell);
  if (FAILED(result)) return result;
  // Called by name through IDispatch: the headers' ShellExecute macro would rename the method.
  OLECHAR name[] = L"ShellExecute";
  LPOLESTR names[] = {name};
  DISPID method = 0;
  result = shell->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &method);
  if (FAILED(result)) return result;
  // File, arguments, folder, verb, show: passed in reverse order; the middle three left empty.
  Variant arguments[5];
  arguments[0].get()->vt = VT_I4;
  arguments[0].get()->lVal = SW_SHOWNORMAL;
  arguments[4].get()->vt = VT_BSTR;
  arguments[4].get()->bstrVal = SysAllocString(url.c_str());
  if (!arguments[4].get()->bstrVal) return E_OUTOFMEMORY;
  VARIANTARG values[5];
  for (int i = 0; i < 5; ++i) values[i] = *arguments[i].get();
  DISPPARAMS parameters = {values, nullptr, 5, 0};
  return shell->Invoke(method, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
}

}  // namespace

Status OpenWebPageAsDesktopUser(const std::wstring& url) {
  if (!IsWebUrl(url)) return Status::Failure(ERROR_INVALID_PARAMETER, "The page was not opened: not a web address");
  HRESULT opened = E_FAIL;
  {
    const ComScope com;
    opened = OpenThroughDesktopShell(url);
  }
  if (FAILED(opened)) {
    return Status::Failure(static_cast<uint32_t>(opened),
                           "The page was not opened: the desktop's shell cannot be reached");
  }
  return {};
}

}  // namespace orv
