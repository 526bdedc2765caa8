#include "main/config_acceptance.h"

#include "contract/run_error.h"
#include "text/utf8.h"

namespace orv {

Result<StubConfig> AcceptConfiguration(const RunPorts& ports, const RunSettings&, const std::string& document,
                                       const std::string&, ConfigOrigin) {
  ports.log.Log(LogLevel::Info, "Parsing config file");
  Result<StubConfig> config = ReadStubConfig(FromUtf8(document));
  if (!config.ok()) ports.log.Log(LogLevel::Error, ConfigParseLine(config.status().detail()));
  return config;
}

}  // namespace orv
