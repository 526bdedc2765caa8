#pragma once
// From the configuration's bytes and its signature's bytes to the checked configuration: the one
// place that decides whether a document is the publisher's, fresh and meant for this stub.
#include <string>

#include "base/status.h"
#include "config/stub_config.h"
#include "main/run_ports.h"
#include "main/setup_run.h"

namespace orv {

// Where the documents came from: the network, or a folder an administrator filled.
enum class ConfigOrigin { Network, Folder };

// A RunError::ConfigParse failure, after the log line naming the rule, when document is not the
// publisher's (a signed build: JudgeSignature), not usable, or not fresh (JudgeFreshness; from a
// Folder a past expiry only warns). Otherwise the configuration; a signed build keeps its serial.
[[nodiscard]] Result<StubConfig> AcceptConfiguration(const RunPorts& ports, const RunSettings& settings,
                                                     const std::string& document, const std::string& signature,
                                                     ConfigOrigin origin);

// The log line of a refused signature: "Configuration signature refused: " + reason.
std::string SignatureRefusedLine(const std::string& reason);

}  // namespace orv
