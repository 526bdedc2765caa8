#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "util/file_sums.h"
#include "util/sha256.h"

namespace orv {

// The values the run takes from the configuration document, all read and checked at once.
struct StubConfig {
  bool shortcut = false;  // a cancelled installation may leave the resume copy and shortcut
  std::wstring wrapper;   // http(s) address of the installer
  uint32_t checksum = 0;  // expected CRC-32 of the installer (low 32 bits of the document's value)
  std::wstring version;   // passed to the installer after -v and to the cancellation page
  std::optional<uint64_t> size;  // the installer's exact size in bytes, when the document gives it
  std::optional<Sha256Digest> sha256;  // expected SHA-256 of the installer, when the document gives one
  std::vector<std::wstring> mirrors;   // further http(s) addresses of the installer, tried in order
};

// Why a plain http wrapper is refused without a "sha256": its bytes are not protected on the way.
extern const char kPlainHttpNeedsSha256[];
// Why "mirrors" is refused without a "sha256": bytes from several servers may make up the file.
extern const char kMirrorsNeedSha256[];

// A RunError::ConfigParse failure whose detail is the text the run logs after "Error parsing
// file. Error: " when text is not a usable configuration document: a parse error, or the first
// key, in the order "shortcut", "wrapper", "checksum", "version", "sha256", "size" and "mirrors"
// (the last three optional), that is missing or fails its check (see ConfigDocument), a plain
// http wrapper without "sha256" (kPlainHttpNeedsSha256), or "mirrors" without "sha256"
// (kMirrorsNeedSha256). Otherwise every value read.
[[nodiscard]] Result<StubConfig> ReadStubConfig(const std::wstring& text);

// The limit for a download: the configured size when there is one, otherwise kMaxInstallerBytes.
uint64_t DownloadSizeLimit(std::optional<uint64_t> configuredSize);

// Whether a finished download of fileSize bytes is kept: exactly the configured size when there
// is one, otherwise at most kMaxInstallerBytes.
bool DownloadSizeAcceptable(uint64_t fileSize, std::optional<uint64_t> configuredSize);

// Empty when the installer's sums match config's checksum and, when it gives one, its sha256;
// otherwise the line the run logs before it fails with code 6 ("Mismatch of the wrapper checksum",
// checked first, or "Mismatch of the wrapper SHA-256").
std::string InstallerSumsMismatch(const StubConfig& config, const FileSums& sums);

// The whole fetch, every attempt included, ends within this time.
inline constexpr uint32_t kConfigFetchDeadlineMs = 30000;

// Fetches the configuration document by GET from url, refusing invalid TLS certificates when
// requireValidCertificate; every attempt ends within kConfigFetchDeadlineMs in all (a server that
// trickles its answer fails). A failure Status (the request's last error as code) when the
// request fails, whose detail is the line to log before the run's own when the exchange was
// refused (a redirect the stub does not follow, a proxy asking for more than the user's logon),
// "" otherwise; else the response text.
[[nodiscard]] Result<std::wstring> FetchConfigurationText(const wchar_t* url, bool requireValidCertificate);

}  // namespace orv
