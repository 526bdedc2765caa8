#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/config_keys.h"
#include "main/run_ports.h"
#include "main/silent_run.h"
#include "util/sha256.h"

namespace orv {

// What the run takes from its start: the command line and the addresses built into the stub.
struct RunSettings {
  std::wstring commandLine;     // the stub's own command line, without its program name
  std::wstring cancelPageBase;  // http address ending in "/installation-cancelled/?v="
  std::wstring analyticsHost;   // host[:port] that receives the failure hit
  std::optional<Sha256Digest> publisherPin;  // SHA-256 of the certificate that must sign the installer
  DownloadTimings downloadTimings;           // the product's unless a test build shortens them
  SilentDecision silent;  // whether the run shows its windows, and why (the ports' interface follows it)
  std::vector<P256PublicKey> configKeys;  // the keys that may sign the configuration; empty: an unsigned build
  std::wstring product = L"Orvandel";     // the product the configuration must name
  uint64_t configSerialFloor = 0;         // the lowest configuration serial accepted
};

// The whole run: single-instance guard, logging, configuration (read and checked at once),
// download (DownloadInstaller: resumed attempts, then the mirrors), checksum gate (and the
// publisher's signature when pinned), installer launch and outcome, clean-up, every log line and
// error box, all through ports. A silent run says so (and why) right after the start line, and
// opens no cancellation page. Returns the
// process exit code: 0 when another stub runs, the user closed the progress dialog or a layout was
// written, an error code (1, 3, 4, 5, 6, 7, 8) after its error box, otherwise the installer's
// exit code. "-layout" and "-source" (signed builds only) write or use an offline folder.
[[nodiscard]] uint32_t SetupRun(const RunPorts& ports, const RunSettings& settings);

}  // namespace orv
