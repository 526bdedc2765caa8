#include "main/config_acceptance.h"

#include "config/config_freshness.h"
#include "contract/run_error.h"

namespace orv {

std::string SignatureRefusedLine(const std::string& reason) { return "Configuration signature refused: " + reason; }

Result<StubConfig> AcceptConfiguration(const RunPorts& ports, const RunSettings& settings, const std::string& document,
                                       const std::string& signature, ConfigOrigin origin) {
  const bool signedBuild = !settings.configKeys.empty();
  if (signedBuild) {
    const Result<std::string> signer = JudgeSignature(document, signature, settings.configKeys, ports.trust);
    if (!signer.ok()) {
      ports.log.Log(LogLevel::Error, SignatureRefusedLine(signer.status().LogText()));
      return Status::Error(RunError::ConfigParse, signer.status().detail(), signer.status().code());
    }
    ports.log.Log(LogLevel::Info, "Configuration signed by key " + *signer);
  }
  Result<StubConfig> config = ReadStubConfigUtf8(document);
  if (!config.ok()) {
    ports.log.Log(LogLevel::Error, ConfigParseLine(config.status().detail()));
    return config;
  }

  FreshnessRules rules;
  rules.signedBuild = signedBuild;
  rules.product = settings.product;
  rules.serialFloor = settings.configSerialFloor;
  rules.now = ports.trust.UtcNow();
  rules.pastExpiryIsWarning = origin == ConfigOrigin::Folder;
  if (signedBuild) {
    const Result<std::optional<uint64_t>> highest = ports.trust.ReadHighestSerial(settings.product);
    if (!highest.ok()) {
      const std::string line = "Cannot read the highest configuration serial accepted on this machine: " +
                               highest.status().LogText();
      ports.log.Log(LogLevel::Error, line);
      return Status::Error(RunError::ConfigParse, line, highest.status().code());
    }
    rules.highestSerial = *highest;
  }
  const FreshnessVerdict verdict = JudgeFreshness(*config, rules);
  if (!verdict.refusal.empty()) {
    ports.log.Log(LogLevel::Error, "Configuration refused: " + verdict.refusal);
    return Status::Error(RunError::ConfigParse, verdict.refusal);
  }
  if (!verdict.warning.empty()) ports.log.Log(LogLevel::Warning, "Configuration accepted from a folder although " + verdict.warning);

  if (signedBuild && (!rules.highestSerial || *config->serial > *rules.highestSerial)) {
    const Status kept = ports.trust.WriteHighestSerial(settings.product, *config->serial);
    if (!kept.ok()) {
      ports.log.Log(LogLevel::Warning, "Cannot keep configuration serial " + std::to_string(*config->serial) +
                                           " as the highest accepted: " + kept.LogText());
    }
  }
  return config;
}

}  // namespace orv
