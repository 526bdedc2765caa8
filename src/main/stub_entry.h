#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_keys.h"
#include "download/attempt_budget.h"
#include "launch/file_signature.h"
#include "main/endpoints.h"

namespace orv {

// A build's pinned publisher: the installer must carry a signature the platform trusts, made with
// the certificate whose DER encoding hashes to pin, as readSignature reads it.
struct PublisherPinning {
  Sha256Digest pin;
  SignatureReader readSignature;
};

// How a build checks its configuration.
struct ConfigSigning {
  std::vector<P256PublicKey> keys;       // the keys that may sign it; none: an unsigned build
  const wchar_t* product = L"Orvandel";  // the product it must name
  uint64_t serialFloor = 0;              // the lowest serial accepted
};

// The whole run of one stub with the given endpoints and the process's command line (null for
// none), the publisher pin when pinning is not null, the configuration's signing, the download's
// timings (the product's unless a test build gives shorter ones) and the stub's own variables the
// installer also gets (a test build's settings; none in the product); silent (no window) with
// "-silent" or on a window station that no user sees. The process exit code (see SetupRun).
uint32_t RunStubEntry(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints,
                      const PublisherPinning* pinning, const ConfigSigning& signing,
                      const DownloadTimings& timings = DownloadTimings(),
                      const std::vector<std::wstring>& carriedNames = {});

}  // namespace orv
