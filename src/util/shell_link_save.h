#pragma once
#include <windows.h>
#include <objidl.h>

namespace orv {

// A negative HRESULT when link (an IShellLinkW) cannot be serialised or path is refused or not
// written (GetLastError() as ReplaceFileNoRedirect sets it); else S_OK, the .lnk written through
// ReplaceFileNoRedirect so that a link planted at path cannot redirect it.
[[nodiscard]] HRESULT SaveShellLinkNoRedirect(IUnknown* link, const wchar_t* path);

}  // namespace orv
