#include "config/stub_config.h"

#include <utility>

#include "config/config_document.h"
#include "contract/run_error.h"
#include "text/web_address.h"

namespace orv {

const char kPlainHttpNeedsSha256[] =
    "wrapper uses plain http, which is accepted only with a \"sha256\" of the installer";
const char kMirrorsNeedSha256[] = "mirrors are accepted only with a \"sha256\" of the installer";

namespace {

// Every value of a parsed document, checked.
Result<StubConfig> ReadParsed(const ConfigDocument& document) {
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
  Result<std::optional<std::wstring>> product = document.ReadProduct();
  if (!product.ok()) return product.status();
  const Result<std::optional<uint64_t>> serial = document.ReadSerial();
  if (!serial.ok()) return serial.status();
  const Result<std::optional<int64_t>> expires = document.ReadExpires();
  if (!expires.ok()) return expires.status();
  read.product = std::move(*product);
  read.serial = *serial;
  read.expires = *expires;
  return read;
}

}  // namespace

Result<StubConfig> ReadStubConfig(const std::wstring& text) {
  ConfigDocument document;
  if (Status parsed = document.Parse(text); !parsed.ok()) return parsed;
  return ReadParsed(document);
}

Result<StubConfig> ReadStubConfigUtf8(std::string_view utf8) {
  ConfigDocument document;
  if (Status parsed = document.ParseUtf8(utf8.substr(0, utf8.find('\0'))); !parsed.ok()) return parsed;
  return ReadParsed(document);
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

Status JudgeInstallerFile(const StubConfig& config, const FileSums& sums) {
  if (!DownloadSizeAcceptable(sums.size, config.size)) {
    return Status::Error(RunError::Download,
                         config.size ? "the installer has " + std::to_string(sums.size) +
                                           " bytes, the document's size is " + std::to_string(*config.size)
                                     : "the installer has " + std::to_string(sums.size) + " bytes, more than 4 GiB");
  }
  std::string mismatch = InstallerSumsMismatch(config, sums);
  if (!mismatch.empty()) return Status::Error(RunError::ChecksumMismatch, std::move(mismatch));
  return Status();
}

std::wstring SignatureAddress(const std::wstring& configUrl) {
  const std::size_t end = configUrl.find_first_of(L"?#");
  std::wstring address = configUrl;
  address.insert(end == std::wstring::npos ? address.size() : end, L".sig");
  return address;
}

}  // namespace orv
