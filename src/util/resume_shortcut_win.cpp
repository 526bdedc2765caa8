#include "util/resume_shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

HRESULT CreateResumeShortcut(const wchar_t* target, const wchar_t* shortcutPath) {
  ComPtr<IShellLinkW> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(link.GetAddressOf()));
  if (FAILED(result)) return result;
  // A link whose path or description could not be set is still worth saving.
  (void)link->SetPath(target);
  (void)link->SetDescription(L"Continue installation of Orvandel");

  ComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
  if (FAILED(result)) return result;
  return file->Save(shortcutPath, TRUE);
}
