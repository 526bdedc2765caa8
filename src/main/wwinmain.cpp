#include <windows.h>

#include "build_endpoints.h"
#include "main/endpoints.h"
#include "main/stub_entry.h"
#include "util/system_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // Before anything else: no DLL loaded from now on may come from the program's own folder.
  static_cast<void>(RestrictDllSearchToSystem32());
  const Endpoints endpoints{ORV_BUILD_CONFIG_URL, ORV_BUILD_ANALYTICS_HOST, ORV_BUILD_CANCEL_PAGE_BASE,
                            ORV_BUILD_ALLOW_INVALID_CERTIFICATES};
  return static_cast<int>(RunStubEntry(instance, commandLine, endpoints));
}
