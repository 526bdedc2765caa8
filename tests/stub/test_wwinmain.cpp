// Entry of the test builds of the stub: the product's run, with the endpoints taken from the
// environment that the test bed sets (its servers' ports are chosen when they start), and the
// publisher pin from ORV_TEST_PUBLISHER_PIN, and shorter download timings from
// ORV_TEST_DOWNLOAD_TIMINGS ("<trickle window ms>,<first>,<second>,<later pause ms>"). Variables
// that are not set leave the endpoint compiled in. The product is never built from this file.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "build_endpoints.h"
#include "base/system_library.h"
#include "launch/file_signature.h"
#include "main/endpoints.h"
#include "main/stub_entry.h"
#include "util/sha256.h"

namespace {
using namespace orv;

std::wstring FromEnvironment(const wchar_t* name, const wchar_t* compiledIn) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return compiledIn;
  std::vector<wchar_t> value(needed);
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  return length > 0 && length < needed ? std::wstring(value.data(), length) : std::wstring(compiledIn);
}

// The product's timings, or the ones the test bed names (a value that does not read leaves them).
DownloadTimings TimingsFromEnvironment() {
  DownloadTimings timings;
  const std::wstring text = FromEnvironment(L"ORV_TEST_DOWNLOAD_TIMINGS", L"");
  DownloadTimings given = timings;
  if (swscanf(text.c_str(), L"%u,%u,%u,%u", &given.trickleWindowMs, &given.firstPauseMs, &given.secondPauseMs,
              &given.laterPauseMs) == 4) {
    timings = given;
  }
  return timings;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // Before anything else: no DLL loaded from now on may come from the program's own folder.
  static_cast<void>(RestrictDllSearchToSystem32());
  const std::wstring configUrl = FromEnvironment(L"ORV_TEST_CONFIG_URL", ORV_BUILD_CONFIG_URL);
  const std::wstring analyticsHost = FromEnvironment(L"ORV_TEST_ANALYTICS_HOST", ORV_BUILD_ANALYTICS_HOST);
  const std::wstring cancelPageBase = FromEnvironment(L"ORV_TEST_CANCEL_PAGE_BASE", ORV_BUILD_CANCEL_PAGE_BASE);
  const Endpoints endpoints{configUrl.c_str(), analyticsHost.c_str(), cancelPageBase.c_str(),
                            ORV_BUILD_ALLOW_INVALID_CERTIFICATES};
  // A pin that does not read (all zeros) matches no publisher.
  const std::wstring pin = FromEnvironment(L"ORV_TEST_PUBLISHER_PIN", ORV_BUILD_PUBLISHER_PIN);
  PublisherPinning pinning{{}, &ReadFileSignature};
  if (!pin.empty()) static_cast<void>(ParseSha256Hex(pin, pinning.pin));
  return static_cast<int>(
      RunStubEntry(instance, commandLine, endpoints, pin.empty() ? nullptr : &pinning, TimingsFromEnvironment()));
}
