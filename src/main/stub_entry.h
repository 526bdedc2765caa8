#pragma once
#include <windows.h>

#include <cstdint>

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

// The whole run of one stub with the given endpoints and the process's command line (null for
// none), the publisher pin when pinning is not null, and the download's timings (the product's
// unless a test build gives shorter ones); silent (no window) with "-silent" or on a window
// station that no user sees. The process exit code (see SetupRun).
uint32_t RunStubEntry(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints,
                      const PublisherPinning* pinning, const DownloadTimings& timings = DownloadTimings());

}  // namespace orv
