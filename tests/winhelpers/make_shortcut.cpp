// Writes the resume shortcut as the stub does: make_shortcut.exe <target> <shortcut.lnk>
// Prints the HRESULT; exit code 0 when it succeeded, 1 when it failed, 2 on bad usage.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "main/windows_ports.h"

namespace {
using namespace orv;
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_shortcut TARGET SHORTCUT.lnk\n");
    return 2;
  }
  const HRESULT init = CoInitialize(nullptr);
  const Status result = WindowsShortcuts().WriteShortcut(argv[1], argv[2]);
  std::printf("WriteShortcut: 0x%08lx\n", static_cast<unsigned long>(result.code()));
  if (SUCCEEDED(init)) CoUninitialize();
  return result.ok() ? 0 : 1;
}
