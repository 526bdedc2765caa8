#include <windows.h>

#include "build_endpoints.h"
#include "base/system_library.h"
#include "launch/file_signature.h"
#include "main/endpoints.h"
#include "main/stub_entry.h"
#include "util/sha256.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // Before anything else: no DLL loaded from now on may come from the program's own folder.
  static_cast<void>(orv::RestrictDllSearchToSystem32());
  const orv::Endpoints endpoints{ORV_BUILD_CONFIG_URL, ORV_BUILD_ANALYTICS_HOST, ORV_BUILD_CANCEL_PAGE_BASE,
                            ORV_BUILD_ALLOW_INVALID_CERTIFICATES};
  constexpr wchar_t kPin[] = ORV_BUILD_PUBLISHER_PIN;
  if constexpr (sizeof(kPin) == sizeof(wchar_t)) {
    return static_cast<int>(orv::RunStubEntry(instance, commandLine, endpoints, nullptr));
  } else {
    // Checked when the build was configured; a pin that did not read (all zeros) matches no publisher.
    orv::PublisherPinning pinning{{}, &orv::ReadFileSignature};
    static_cast<void>(orv::ParseSha256Hex(kPin, pinning.pin));
    return static_cast<int>(orv::RunStubEntry(instance, commandLine, endpoints, &pinning));
  }
}
