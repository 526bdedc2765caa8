#include "config/stub_config.h"

#include <utility>

#include "config/config_document.h"
#include "text/web_address.h"

namespace orv {

const char kPlainHttpNeedsSha256[] =
    "wrapper uses plain http, which is accepted only with a \"sha256\" of the installer";
const char kMirrorsNeedSha256[] = "mirrors are accepted only with a \"sha256\" of the installer";

bool ReadStubConfig(const std::wstring& text, StubConfig& config, std::string& error) {
  ConfigDocument document;
  if (!document.Parse(text, error)) return false;
  StubConfig read;
  if (!document.ReadShortcut(read.shortcut, error) || !document.ReadWrapper(read.wrapper, error) ||
      !document.ReadChecksum(read.checksum, error) || !document.ReadVersion(read.version, error) ||
      !document.ReadSha256(read.sha256, error) || !document.ReadSize(read.size, error)) {
    return false;
  }
  std::optional<std::vector<std::wstring>> mirrors;
  if (!document.ReadMirrors(mirrors, error)) return false;
  if (IsPlainHttpUrl(read.wrapper) && !read.sha256) {
    error = kPlainHttpNeedsSha256;
    return false;
  }
  if (mirrors && !read.sha256) {
    error = kMirrorsNeedSha256;
    return false;
  }
  if (mirrors) read.mirrors = std::move(*mirrors);
  config = std::move(read);
  return true;
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
