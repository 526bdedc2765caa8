#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "held_files/held_file.h"
#include "main/resume.h"
#include "main/windows_ports.h"
#include "util/file_paths.h"

namespace orv {

using Microsoft::WRL::ComPtr;

namespace {

// The Win32 error an HRESULT carries (as the log writes error codes), or the HRESULT itself.
Status ShellFailure(HRESULT result, const char* detail) {
  const uint32_t code = HRESULT_FACILITY(result) == FACILITY_WIN32 ? static_cast<uint32_t>(HRESULT_CODE(result))
                                                                    : static_cast<uint32_t>(result);
  return Status::Failure(code, detail);
}

}  // namespace

std::wstring WindowsShortcuts::DesktopShortcutPath() {
  wchar_t desktop[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE) || desktop[0] == L'\0') return {};
  return std::wstring(desktop) + L"\\" + kResumeShortcutName;
}

bool WindowsShortcuts::Exists(const std::wstring& path) { return PathExists(path.c_str()); }

Status WindowsShortcuts::RemoveShortcut(const std::wstring& path) {
  // Not DeleteFileW: a link planted at the name, or a desktop folder swapped meanwhile, must not
  // send the deletion elsewhere.
  return DeleteHeldFile(path);
}

Status WindowsShortcuts::WriteShortcut(const std::wstring& target, const std::wstring& shortcut) {
  ComPtr<IShellLinkW> link;
  const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(link.GetAddressOf()));
  if (FAILED(created)) return ShellFailure(created, "CoCreateInstance(ShellLink)");
  // A link whose path or description could not be set is still worth saving.
  static_cast<void>(link->SetPath(target.c_str()));
  static_cast<void>(link->SetDescription(kResumeShortcutDescription));
  // Not IPersistFile::Save: a link planted at the shortcut's name must not redirect the write.
  return SaveShellLinkHeld(link.Get(), shortcut);
}

}  // namespace orv
