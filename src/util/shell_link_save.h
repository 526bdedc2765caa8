#pragma once
#include <windows.h>
#include <objidl.h>

// Writes the shell link object link (an IShellLinkW) as a .lnk file at path through
// ReplaceFileNoRedirect, so that a link planted at path cannot redirect the write. A negative
// HRESULT when the link cannot be serialised or the file is refused or cannot be written
// (GetLastError() then tells why, as ReplaceFileNoRedirect sets it); S_OK otherwise.
[[nodiscard]] HRESULT SaveShellLinkNoRedirect(IUnknown* link, const wchar_t* path);
