// Runs one HttpClient as the command line describes and prints every result field as one JSON
// object (UTF-8) on standard output, for the end-to-end tests.
//
//   http_probe --url U [--verb V] [--strict] [--timeouts R,C,S,V] [--proxy P] [--proxy-user U]
//              [--proxy-password P] [--header LINE]... [--cookies C] [--force-charset]
//              [--force-charset-after-first] [--post-data TEXT] [--progress] [--repeat N]
//
// Exit code 0 when every option was understood (whatever the requests gave), 2 otherwise.
#include <windows.h>
#include <psapi.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "text/utf8.h"

namespace {
using namespace orv;

const size_t kMaxTextChars = 1024 * 1024;
const uint32_t kMaxHexBytes = 64 * 1024;

std::vector<double> g_progress;

void RecordProgress(double percent) { g_progress.push_back(percent); }

struct Options {
  std::wstring url;
  std::wstring verb = L"GET";
  bool strict = false;
  bool setTimeouts = false;
  int timeouts[4] = {0, 60000, 30000, 30000};
  std::wstring proxy;
  std::wstring proxyUser;
  std::wstring proxyPassword;
  std::wstring headers;
  std::wstring cookies;
  bool forceCharset = false;
  bool forceCharsetAfterFirst = false;
  bool hasPostData = false;
  std::string postData;
  bool progress = false;
  int repeat = 1;
};

bool ParseTimeouts(const std::wstring& text, int (&timeouts)[4]) {
  return swscanf(text.c_str(), L"%d,%d,%d,%d", &timeouts[0], &timeouts[1], &timeouts[2], &timeouts[3]) == 4;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring name = argv[i];
    const bool hasValue = i + 1 < argc;
    auto value = [&]() { return std::wstring(argv[++i]); };
    if (name == L"--strict") {
      options.strict = true;
    } else if (name == L"--force-charset") {
      options.forceCharset = true;
    } else if (name == L"--force-charset-after-first") {
      options.forceCharsetAfterFirst = true;
    } else if (name == L"--progress") {
      options.progress = true;
    } else if (!hasValue) {
      return false;
    } else if (name == L"--url") {
      options.url = value();
    } else if (name == L"--verb") {
      options.verb = value();
    } else if (name == L"--timeouts") {
      options.setTimeouts = true;
      if (!ParseTimeouts(value(), options.timeouts)) return false;
    } else if (name == L"--proxy") {
      options.proxy = value();
    } else if (name == L"--proxy-user") {
      options.proxyUser = value();
    } else if (name == L"--proxy-password") {
      options.proxyPassword = value();
    } else if (name == L"--header") {
      if (!options.headers.empty()) options.headers += L"\r\n";
      options.headers += value();
    } else if (name == L"--cookies") {
      options.cookies = value();
    } else if (name == L"--post-data") {
      options.hasPostData = true;
      options.postData = ToUtf8(value());
    } else if (name == L"--repeat") {
      options.repeat = _wtoi(value().c_str());
      if (options.repeat < 1) return false;
    } else {
      return false;
    }
  }
  return true;
}

// A long text is cut for the report; its full length is reported beside it.
void PutText(nlohmann::json& out, const char* name, const std::wstring& text) {
  out[name] = ToUtf8(text.size() > kMaxTextChars ? text.substr(0, kMaxTextChars) : text);
  out[std::string(name) + "Length"] = text.size();
}

std::string Hex(const unsigned char* bytes, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2u);
  for (uint32_t i = 0; i < length; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

nlohmann::json Report(const HttpClient& client, bool result, DWORD elapsedMs) {
  nlohmann::json run;
  run["result"] = result;
  run["lastError"] = client.lastError();
  run["failureDetail"] = client.failureDetail();
  run["statusCode"] = ToUtf8(client.statusCode());
  run["host"] = ToUtf8(client.host());
  PutText(run, "responseHeaders", client.responseHeaders());
  PutText(run, "responseText", client.responseText());
  run["charset"] = ToUtf8(client.charset());
  run["bodyLength"] = client.bodyLength();
  run["bodyCapacity"] = client.bodyCapacity();
  const unsigned char* body = client.body();
  // Every byte from the end of the data to the end of the buffer must be zero.
  bool zeroAfter = body != nullptr && client.bodyCapacity() > client.bodyLength();
  for (uint32_t i = client.bodyLength(); zeroAfter && i < client.bodyCapacity(); ++i) zeroAfter = body[i] == 0;
  run["bodyZeroAfterData"] = zeroAfter;
  if (body != nullptr && client.bodyLength() <= kMaxHexBytes) run["bodyHex"] = Hex(body, client.bodyLength());
  run["contentLength"] = client.contentLength();
  run["responseCookies"] = ToUtf8(client.responseCookies());
  run["location"] = ToUtf8(client.location());
  run["hasSession"] = client.hasSession();
  run["elapsedMs"] = elapsedMs;
  run["progress"] = g_progress;
  return run;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs("{\"error\":\"bad options\"}\n", stdout);
    return 2;
  }
  HttpClient client(options.url, options.progress ? RecordProgress : nullptr);
  client.setRequireValidCertificate(options.strict);
  if (options.setTimeouts) {
    client.setTimeouts(options.timeouts[0], options.timeouts[1], options.timeouts[2], options.timeouts[3]);
  }
  client.setProxy(options.proxy);
  client.setProxyUser(options.proxyUser);
  client.setProxyPassword(options.proxyPassword);
  client.setExtraHeaders(options.headers);
  client.setRequestCookies(options.cookies);
  client.setForceCharset(options.forceCharset);
  if (options.hasPostData) client.setPostData(options.postData.data(), static_cast<uint32_t>(options.postData.size()));

  nlohmann::json report;
  report["runs"] = nlohmann::json::array();
  for (int run = 0; run < options.repeat; ++run) {
    if (run == 1 && options.forceCharsetAfterFirst) client.setForceCharset(true);
    g_progress.clear();
    const DWORD start = GetTickCount();
    const bool result = client.execute(options.verb);
    report["runs"].push_back(Report(client, result, GetTickCount() - start));
  }
  report["ansiCodePage"] = GetACP();
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory))) {
    report["peakWorkingSetBytes"] = memory.PeakWorkingSetSize;
    report["peakPagefileBytes"] = memory.PeakPagefileUsage;
  }
  const std::string text = report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return 0;
}
