#include "main/resume.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "text/wide_text.h"
#include "util/no_redirect_file.h"

namespace orv {

using Microsoft::WRL::ComPtr;

static_assert(sizeof(long) == sizeof(HRESULT), "CreateResumeShortcut returns an HRESULT as long");

std::unique_ptr<wchar_t[]> ResumeShortcutPath() {
  std::unique_ptr<wchar_t[]> result(new wchar_t[kResumeShortcutPathCapacity]{});
  if (!SHGetSpecialFolderPathW(nullptr, result.get(), CSIDL_DESKTOPDIRECTORY, FALSE) ||
      !AppendWide(result.get(), kResumeShortcutPathCapacity, L"\\Continue installation.lnk")) {
    result[0] = L'\0';
  }
  return result;
}

long CreateResumeShortcut(const wchar_t* target, const wchar_t* shortcutPath) {
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

}  // namespace orv
