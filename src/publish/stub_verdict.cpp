#include "publish/stub_verdict.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/status.h"
#include "config/stub_config.h"
#include "contract/run_error.h"
#include "http/body_buffer.h"
#include "http/response_headers.h"
#include "text/utf8.h"

namespace orv {
namespace {

StubVerdict Verdict(RunError error, std::string reason) {
  return StubVerdict{static_cast<uint32_t>(error), std::move(reason)};
}

}  // namespace

std::wstring DocumentTextFromBytes(std::string_view body) {
  return FromUtf8(body.substr(0, body.find('\0')));
}

StubVerdict JudgeDocument(std::string_view body, StubConfig& config) {
  if (body.size() > BodyBuffer::kMaxBodyBytes) {
    return Verdict(RunError::ConfigFetch, std::string(kConfigFetchFailedLine) + " (the body is larger than " +
                                              std::to_string(BodyBuffer::kMaxBodyBytes) + " bytes)");
  }
  const std::wstring text = DocumentTextFromBytes(body);
  if (IsCutOffPage(text)) {
    return Verdict(RunError::ConfigFetch,
                   std::string(kConfigFetchFailedLine) + " (the body opens <html> without closing it)");
  }
  Result<StubConfig> read = ReadStubConfig(text);
  if (!read.ok()) return Verdict(RunError::ConfigParse, ConfigParseLine(read.status().detail()));
  config = std::move(*read);
  return {};
}

std::string CharsetWarning(const std::wstring& headers, std::string_view body) {
  std::vector<std::wstring> charsets;
  const bool named = SearchHeaders(headers, HeaderSearch::Charset, 1, charsets) && !charsets.empty();
  const std::wstring charset = named ? charsets[0] : L"";
  if (ChooseBodyEncoding(charset).codePage == kUtf8Encoding.codePage) return "";
  for (const char byte : body.substr(0, body.find('\0'))) {
    if (static_cast<unsigned char>(byte) >= 0x80) {
      return "warning: the response names no UTF-8 charset (Content-Type: ...; charset=utf-8), so the stub reads "
             "its non-ASCII bytes in the Windows ANSI code page, not as UTF-8 as shown here";
    }
  }
  return "";
}

StubVerdict JudgeInstaller(const StubConfig& config, const FileSums& sums) {
  if (!DownloadSizeAcceptable(sums.size, config.size)) {
    return Verdict(RunError::Download,
                   config.size ? "the installer has " + std::to_string(sums.size) + " bytes, the document's size is " +
                                     std::to_string(*config.size)
                               : "the installer has " + std::to_string(sums.size) + " bytes, more than 4 GiB");
  }
  std::string mismatch = InstallerSumsMismatch(config, sums);
  if (!mismatch.empty()) return Verdict(RunError::ChecksumMismatch, std::move(mismatch));
  return {};
}

StubVerdict JudgeInstallerStatus(int httpStatus) {
  if (httpStatus < 200 || httpStatus > 299) {
    return Verdict(RunError::Download, "the installer's address answers with HTTP status " + std::to_string(httpStatus));
  }
  return {};
}

namespace {

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08x", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::string DescribeConfig(const StubConfig& config) {
  std::string text;
  text += "shortcut: " + std::string(config.shortcut ? "true" : "false") + "\n";
  text += "wrapper: " + ToUtf8(config.wrapper) + "\n";
  text += "checksum: " + std::to_string(config.checksum) + " (CRC-32 " + Hex32(config.checksum) + ")\n";
  text += "version: " + ToUtf8(config.version) + "\n";
  text += "sha256: " + (config.sha256 ? Sha256Hex(*config.sha256) : std::string("none")) + "\n";
  text += "size: " + (config.size ? std::to_string(*config.size) + " bytes" : std::string("none (at most 4 GiB)")) +
          "\n";
  for (size_t i = 0; i < config.mirrors.size(); ++i) {
    text += "mirror " + std::to_string(i + 1) + ": " + ToUtf8(config.mirrors[i]) + "\n";
  }
  return text;
}

std::string DescribeSums(const FileSums& sums) {
  return "installer size: " + std::to_string(sums.size) + " bytes\ninstaller CRC-32: " + std::to_string(sums.crc32) +
         " (" + Hex32(sums.crc32) + ")\ninstaller SHA-256: " + Sha256Hex(sums.sha256) + "\n";
}

std::string DescribeVerdict(const StubVerdict& verdict) {
  if (verdict.code == 0) return "verdict: accepted\n";
  return "verdict: code " + std::to_string(verdict.code) + ": " + verdict.reason + "\n";
}

}  // namespace orv
