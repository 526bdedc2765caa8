#include "config/stub_config.h"

#include <utility>

#include "config/config_document.h"
#include "contract/run_error.h"
#include "text/web_address.h"

namespace orv {

const char kPlainHttpNeedsSha256[] =
    "wrapper uses plain http, which is accepted only with a \"sha256\" of the installer";
const char kMirrorsNeedSha256[] = "mirrors are accepted only with a \"sha256\" of the installer";

Result<StubConfig> ReadStubConfig(const std::wstring& text) {
  ConfigDocument document;
  if (Status parsed = document.Parse(text); !parsed.ok()) return parsed;
  const Result<bool> shortcut = document.ReadShortcut();
  if (!shortcut.ok()) return shortcut.status();
  Result<std::wstring> wrapper = document.ReadWrapper();
  if (!wrapper.ok()) return wrapper.status();
  const Result<uint32_t> checksum = document.ReadChecksum();
  if (!checksum.ok()) return checksum.status();
  Result<std::wstring> version = document.ReadVersion();
  if (!version.ok()) return version.status();
  const Result<std::optional<Sha256Digest>> sha256 = document.ReadSha256();
  if (!sha256.ok()) return sha256.status();
  const Result<std::optional<uint64_t>> size = document.ReadSize();
  if (!size.ok()) return size.status();
  Result<std::optional<std::vector<std::wstring>>> mirrors = document.ReadMirrors();
  if (!mirrors.ok()) return mirrors.status();
  if (IsPlainHttpUrl(*wrapper) && !*sha256) return Status::Error(RunError::ConfigParse, kPlainHttpNeedsSha256);
  if (*mirrors && !*sha256) return Status::Error(RunError::ConfigParse, kMirrorsNeedSha256);
  StubConfig read;
  read.shortcut = *shortcut;
  read.wrapper = std::move(*wrapper);
  read.checksum = *checksum;
  read.version = std::move(*version);
  read.sha256 = *sha256;
  read.size = *size;
  if (*mirrors) read.mirrors = std::move(**mirrors);
  return read;
}

uint64_t DownloadSizeLimit(std::optional<uint64_t> configuredSize) {
  return configuredSize ? *configuredSize : kMaxInstallerBytes;
}

bool DownloadSizeAcceptable(uint64_t fileSize, std::optional<uint64_t> configuredSize) {
  return configuredSize ? fileSize == *configuredSize : fileSize <= kMaxInstallerBytes;
}

std::string InstallerSumsMismatch(const StubConfig& config, const FileSums& sums) {
  if (sums.crc32 != config.checksum) return "Mismatch of the wrapper checksum";
  if (config.sha256 && sums.sha256 != *config.sha256) return "Mismatch of the wrapper SHA-256";
  return {};
}

}  // namespace orv
