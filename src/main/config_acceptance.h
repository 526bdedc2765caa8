#pragma once
// From the configuration's bytes and its signature's bytes to the checked configuration: the one
// place that decides whether a document is the publisher's, fresh and meant for this stub.
#include <string>

#include "config/stub_config.h"
#include "main/run_ports.h"
#include "main/setup_run.h"
#include "util/status.h"

namespace orv {

// Where the documents came from: the network, or a folder an administrator filled.
enum class ConfigOrigin { Network, Folder };

// A RunError::ConfigParse failure, after the log line that names the rule, when document is not
// usable: in a signed build (settings.configKeys not empty) first its signature (JudgeSignature),
// then the document itself, then JudgeFreshness against the build's product and floor, the
// highest serial this machine accepted (unreadable: refused) and the clock, a past expiry only a
// warning from a Folder. Otherwise the configuration; a signed build then keeps its serial as the
// highest when it is higher (a failed write is a warning). An unsigned build ignores signature
// and neither reads nor writes the highest serial.
[[nodiscard]] Result<StubConfig> AcceptConfiguration(const RunPorts& ports, const RunSettings& settings,
                                                     const std::string& document, const std::string& signature,
                                                     ConfigOrigin origin);

// The log line of a refused signature: "Configuration signature refused: " + reason.
std::string SignatureRefusedLine(const std::string& reason);

}  // namespace orv
