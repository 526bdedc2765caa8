#include <windows.h>

#include "build_endpoints.h"
#include "main/endpoints.h"
#include "main/stub_entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const Endpoints endpoints{ORV_BUILD_CONFIG_URL, ORV_BUILD_ANALYTICS_HOST, ORV_BUILD_CANCEL_PAGE_BASE,
                            ORV_BUILD_ALLOW_INVALID_CERTIFICATES};
  return static_cast<int>(RunStubEntry(instance, commandLine, endpoints));
}
