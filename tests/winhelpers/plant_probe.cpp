// The control of the DLL-planting test: loads each DLL named on its command line with a plain
// LoadLibraryW, the search the stub must not use, and prints "<name>\t<path of the loaded copy>"
// (or "<name>\tnot loaded <error>") per line. Exit code 0.
#include <windows.h>

#include <cstdio>

#include "text/utf8.h"

namespace {
using namespace orv;
}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const HMODULE module = LoadLibraryW(argv[i]);
    wchar_t path[MAX_PATH] = {};
    if (module && GetModuleFileNameW(module, path, MAX_PATH) > 0) {
      std::printf("%s\t%s\n", ToUtf8(argv[i]).c_str(), ToUtf8(path).c_str());
    } else {
      std::printf("%s\tnot loaded %lu\n", ToUtf8(argv[i]).c_str(), GetLastError());
    }
  }
  return 0;
}
