#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "config/stub_config.h"
#include "util/file_sums.h"

namespace orv {

// What the stub does at one of its checks: goes on (code 0) or ends the run with an error code.
struct StubVerdict {
  uint32_t code = 0;    // 0, or the stub's exit code: a RunError's value
  std::string reason;   // "" for code 0; else the stub's error log line, or what it stops on
};

// The text the stub reads from a response body sent as UTF-8: the bytes before the first zero
// byte, decoded as UTF-8 (a malformed sequence becomes U+FFFD, as in the stub).
std::wstring DocumentTextFromBytes(std::string_view body);

// Code 1 (the fetch fails) for a body larger than the stub's limit on a response or a page cut
// off (it opens <html> without closing it); code 3 with "Error parsing file. Error: <reason>"
// when ReadStubConfig refuses the text; else code 0 with config filled.
StubVerdict JudgeDocument(std::string_view body, StubConfig& config);

// "" when older stubs decode body as UTF-8 (headers, CR LF lines as received, name a UTF-8
// charset) or when the body is ASCII up to its first zero byte; else a one-line warning that
// those stubs read the non-ASCII bytes in the Windows ANSI code page (later ones read UTF-8).
std::string CharsetWarning(const std::wstring& headers, std::string_view body);

// The stub's verdict as orvpublish reports it: code 0 for a success, else the run error's code and
// the failure's detail.
StubVerdict VerdictOf(const Status& judged);

// Code 4 for a final HTTP status on which the stub's download fails (not 2xx; it follows
// redirects before), else code 0.
StubVerdict JudgeInstallerStatus(int httpStatus);

// The values the stub read, one "name: value" line each ("size: none (at most 4 GiB)" when absent),
// then "mirror <n>: <address>" for each mirror.
std::string DescribeConfig(const StubConfig& config);
// The sums of an installer, one line each.
std::string DescribeSums(const FileSums& sums);
// One line: "verdict: accepted" for code 0, else "verdict: code <code>: <reason>".
std::string DescribeVerdict(const StubVerdict& verdict);

}  // namespace orv
