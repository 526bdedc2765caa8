#pragma once
// The configuration's bytes and its signature's, wherever they came from, turned into the values
// the run uses, or refused with the line that says why.
#include <string>

#include "config/stub_config.h"
#include "main/run_ports.h"
#include "main/setup_run.h"

namespace orv {

// Where the two documents came from: the configuration's address, or an offline folder.
enum class ConfigOrigin { Network, Folder };

// A RunError::ConfigParse failure, its line logged, when the document cannot be used; otherwise
// the checked StubConfig, with the log lines of its parse.
[[nodiscard]] Result<StubConfig> AcceptConfiguration(const RunPorts& ports, const RunSettings& settings,
                                                     const std::string& document, const std::string& signature,
                                                     ConfigOrigin origin);

}  // namespace orv
