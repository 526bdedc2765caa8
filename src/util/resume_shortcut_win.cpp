#include "util/resume_shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "util/shell_link_save.h"

using Microsoft::WRL::ComPtr;

HRESULT CreateResumeShortcut(const wchar_t* target, const wchar_t* shortcutPath) {
  ComPtr<IShellLinkW> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(link.GetAddressOf()));
  if (FAILED(result)) return result;
  // A link whose path or description could not be set is still worth saving.
  (void)link->SetPath(target);
  (void)link->SetDescription(L"Continue installation of Orvandel");

  // Not IPersistFile::Save: a link planted at the shortcut's name must not redirect the write.
  return SaveShellLinkNoRedirect(link.Get(), shortcutPath);
}
