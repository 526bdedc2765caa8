#include "http/http_client.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "http/body_buffer.h"
#include "http/proxy_auth.h"
#include "http/redirect_rule.h"
#include "http/response_headers.h"
#include "http/user_proxy.h"
#include "http/winhttp_api.h"
#include "http/winhttp_query.h"
#include "text/ascii_case.h"
#include "text/log_escape.h"
#include "text/utf8.h"

namespace orv {

namespace {

const DWORD kIgnoreCertificateErrors =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
const DWORD kHostChars = 260;
const DWORD kPathChars = 1300;

// "GET" or "POST" for verb in any letter case; null for any other verb.
const wchar_t* CanonicalVerb(const std::wstring& verb) {
  for (const wchar_t* known : {L"GET", L"POST"}) {
    if (EqualsIgnoringAsciiCase(verb, known)) return known;
  }
  return nullptr;
}

// A string WinHTTP takes through a non-const pointer; the copy keeps the original intact.
std::wstring WritableCopy(const wchar_t* text) { return std::wstring(text ? text : L""); }

}  // namespace

HttpClient::HttpClient(std::wstring url, ProgressCallback progressCallback) {
  fields.url = std::move(url);
  fields.progressCallback = progressCallback;
}

void HttpClient::setPostData(const void* data, uint32_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  fields.postData.assign(bytes, bytes + (bytes ? length : 0));
  fields.postDataLength = static_cast<uint32_t>(fields.postData.size());
}

void HttpClient::setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
  fields.resolveTimeout = resolveMs;
  fields.connectTimeout = connectMs;
  fields.sendTimeout = sendMs;
  fields.receiveTimeout = receiveMs;
}

bool HttpClient::execute(const std::wstring& verbText) {
  try {
    if (fields.url.empty()) {
      fields.lastError = ERROR_PATH_NOT_FOUND;  // 3
      return false;
    }
    const wchar_t* verb = CanonicalVerb(verbText);
    if (verb == nullptr) {
      fields.lastError = ERROR_INVALID_PARAMETER;  // 87
      return false;
    }
    const bool isGet = verb[0] == L'G';
    if (!WinHttp().loaded) {
      fields.lastError = ERROR_MOD_NOT_FOUND;
      return false;
    }
    fields.deadline = ExchangeDeadline(GetTickCount64(), fields.totalDeadlineMs);
    fields.failureDetail.clear();

    if (!fields.sessionHandle) {
      // An explicit proxy is also given to the session: Wine routes requests only through a
      // proxy named here and ignores the per-request proxy option set on every attempt.
      if (fields.proxy.empty()) {
        fields.sessionHandle.reset(WinHttp().Open(fields.userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
      } else {
        fields.sessionHandle.reset(WinHttp().Open(fields.userAgent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                               fields.proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
      }
      if (!fields.sessionHandle) {
        fields.lastError = GetLastError();
        return false;
      }
    }
    WinHttp().SetTimeouts(fields.sessionHandle.get(), fields.resolveTimeout, fields.connectTimeout, fields.sendTimeout,
                       fields.receiveTimeout);

    WinHttpHandle connection;
    WinHttpHandle request;
    std::wstring current = fields.url;
    if (!openRequest(current, verb, connection, request)) return false;
    int redirects = 0;
    bool proxyAnswered = false;

    bool complete = false;
    bool stored = true;
    for (int attempt = 0; attempt < 3 && !complete && stored; ++attempt) {
      if (!applyDeadline(request.get())) break;
      addRequestHeaders(request.get());
      setExplicitProxy(request.get());
      if (!send(request.get()) && !discoverProxy(request.get())) continue;
      if (!fields.postData.empty()) {
        DWORD written = 0;
        if (!WinHttp().WriteData(request.get(), fields.postData.data(), fields.postDataLength, &written)) {
          fields.lastError = GetLastError();
        }
      }
      if (!WinHttp().ReceiveResponse(request.get(), nullptr)) {
        fields.lastError = GetLastError();
        continue;
      }
      const ReadOutcome outcome = readResponse(request.get());
      if (outcome == ReadOutcome::Failed) stored = false;
      if (outcome != ReadOutcome::Read) continue;
      const Turn turn = isGet ? answerRedirectOrProxy(verb, current, redirects, proxyAnswered, connection, request)
                              : Turn::Final;
      if (turn == Turn::Refused) return false;
      if (turn == Turn::Answered) {
        --attempt;  // bounded: kMaxRedirects redirects and one proxy answer per address
        continue;
      }
      complete = true;
      if (isGet && IsCutOffPage(fields.responseText)) {
        fields.lastError = ERROR_INVALID_DATA;  // 13
        complete = false;
      }
    }
    return complete && stored;
  } catch (const std::bad_alloc&) {
    fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::length_error&) {
    fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception&) {
    fields.lastError = ERROR_INTERNAL_ERROR;
  }
  return false;
}

bool HttpClient::openRequest(const std::wstring& url, const wchar_t* verb, WinHttpHandle& connection,
                             WinHttpHandle& request) {
  request.reset();
  connection.reset();
  std::wstring hostBuffer(kHostChars, L'\0');
  std::wstring pathBuffer(kPathChars, L'\0');
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = 1;
  parts.lpszHostName = &hostBuffer[0];
  parts.dwHostNameLength = kHostChars;
  parts.lpszUrlPath = &pathBuffer[0];
  parts.dwUrlPathLength = kPathChars;
  if (!WinHttp().CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  fields.host.assign(hostBuffer.c_str(), parts.dwHostNameLength);
  const std::wstring path(pathBuffer.c_str(), parts.dwUrlPathLength);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  connection.reset(WinHttp().Connect(fields.sessionHandle.get(), fields.host.c_str(), parts.nPort, 0));
  if (!connection) return false;
  request.reset(WinHttp().OpenRequest(connection.get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return false;
  // Redirects are followed by answerRedirectOrProxy, by the stub's own rule.
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  WinHttp().SetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable));
  // The receive time-out also bounds the wait for the response head: Wine applies only this
  // option there, and would otherwise wait for a silent server without limit.
  if (fields.receiveTimeout > 0) {
    DWORD headTimeout = static_cast<DWORD>(fields.receiveTimeout);
    WinHttp().SetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headTimeout, sizeof(headTimeout));
  }
  if (!fields.requireValidCertificate && secure) {
    DWORD flags = kIgnoreCertificateErrors;
    WinHttp().SetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
  }
  return true;
}

HttpClient::Turn HttpClient::answerRedirectOrProxy(const wchar_t* verb, std::wstring& current, int& redirects,
                                                   bool& proxyAnswered, WinHttpHandle& connection,
                                                   WinHttpHandle& request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttp().QueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return Turn::Final;
  }
  if (status == 407) {
    const std::string proxy = orv::ProxyNameForLog(request.get(), fields.proxy);
    const orv::ProxyAuthDecision decision =
        orv::JudgeProxyChallenge(orv::OfferedAuthSchemes(request.get()), proxyAnswered, proxy);
    if (decision.answer && WinHttp().SetCredentials(request.get(), WINHTTP_AUTH_TARGET_PROXY, decision.scheme,
                                                    nullptr, nullptr, nullptr)) {
      proxyAnswered = true;
      return Turn::Answered;
    }
    fields.lastError = ERROR_WINHTTP_LOGIN_FAILURE;
    fields.failureDetail = decision.answer ? "the user's logon cannot be given to proxy " + proxy : decision.refusal;
    return Turn::Refused;
  }
  if (!orv::IsFollowedRedirectStatus(status)) return Turn::Final;
  const std::wstring location =
      orv::QueryHeaderText(request.get(), WINHTTP_QUERY_LOCATION, kMaxResponseHeaderChars).value_or(L"");
  orv::RedirectDecision decision = orv::JudgeRedirect(current, location, redirects, /*plainHttpAllowed=*/false);
  if (!decision.follow) {
    fields.lastError = ERROR_WINHTTP_REDIRECT_FAILED;
    fields.failureDetail = "redirect to " + EscapeLogValue(ToUtf8(location)) + " refused: " + decision.refusal;
    return Turn::Refused;
  }
  ++redirects;
  current = std::move(decision.target);
  proxyAnswered = false;
  if (!openRequest(current, verb, connection, request)) {
    fields.lastError = ERROR_WINHTTP_REDIRECT_FAILED;
    fields.failureDetail = "redirect to " + EscapeLogValue(ToUtf8(current)) + " cannot be followed";
    return Turn::Refused;
  }
  return Turn::Answered;
}

void HttpClient::addRequestHeaders(HINTERNET request) {
  if (!fields.extraHeaders.empty()) {
    if (!WinHttp().AddRequestHeaders(request, fields.extraHeaders.c_str(), static_cast<DWORD>(fields.extraHeaders.size()),
                                  WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON)) {
      fields.lastError = GetLastError();
    }
  }
  if (!fields.requestCookies.empty()) {
    const std::wstring line = L"Cookie: " + fields.requestCookies;
    if (!WinHttp().AddRequestHeaders(request, line.c_str(), static_cast<DWORD>(line.size()),
                                  WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON)) {
      fields.lastError = GetLastError();
    }
  }
}

void HttpClient::setExplicitProxy(HINTERNET request) {
  if (fields.proxy.empty()) return;
  // The proxy is handed over whole, however long; WinHTTP copies it.
  std::wstring server = WritableCopy(fields.proxy.c_str());
  WINHTTP_PROXY_INFO info = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, &server[0], nullptr};
  if (!WinHttp().SetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info))) fields.lastError = GetLastError();
  if (fields.proxyUser.empty()) return;
  if (!WinHttp().SetOption(request, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(fields.proxyUser.c_str()),
                        static_cast<DWORD>(fields.proxyUser.size()))) {
    fields.lastError = GetLastError();
  }
  if (fields.proxyPassword.empty()) return;
  if (!WinHttp().SetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(fields.proxyPassword.c_str()),
                        static_cast<DWORD>(fields.proxyPassword.size()))) {
    fields.lastError = GetLastError();
  }
}

bool HttpClient::send(HINTERNET request) {
  if (WinHttp().SendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                         fields.postDataLength, 0)) {
    return true;
  }
  fields.lastError = GetLastError();
  return false;
}

bool HttpClient::discoverProxy(HINTERNET request) {
  const orv::Result<std::optional<orv::ProxyServer>> found = orv::FindUserProxy(fields.url);
  if (!found.ok()) {
    fields.lastError = found.status().code();
    return false;
  }
  if (!found.value()) return false;
  // Server and bypass list are handed over whole, however long.
  std::wstring server = found.value()->proxy;
  std::wstring bypass = found.value()->bypass;
  WINHTTP_PROXY_INFO info = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, &server[0], bypass.empty() ? nullptr : &bypass[0]};
  if (!WinHttp().SetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info))) {
    // The script's proxy is tried at once and records nothing; the settings' proxy serves the
    // next attempt.
    if (!found.value()->fromScript) fields.lastError = GetLastError();
    return false;
  }
  return found.value()->fromScript && send(request);
}

bool HttpClient::applyDeadline(HINTERNET request) {
  if (fields.totalDeadlineMs == 0) return true;
  const uint64_t now = GetTickCount64();
  if (fields.deadline.Expired(now)) {
    fields.lastError = ERROR_WINHTTP_TIMEOUT;
    return false;
  }
  const ExchangeDeadline& deadline = fields.deadline;
  const int receive = deadline.StepTimeoutMs(fields.receiveTimeout, now);
  WinHttp().SetTimeouts(request, deadline.StepTimeoutMs(fields.resolveTimeout, now),
                        deadline.StepTimeoutMs(fields.connectTimeout, now),
                        deadline.StepTimeoutMs(fields.sendTimeout, now), receive);
  DWORD headTimeout = static_cast<DWORD>(receive);
  WinHttp().SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headTimeout, sizeof(headTimeout));
  return true;
}

HttpClient::ReadOutcome HttpClient::readResponse(HINTERNET request) {
  if (!readHeaders(request)) return ReadOutcome::Incomplete;

  DWORD length = 0;
  if (WinHttp().QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &length, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    if (length / sizeof(wchar_t) <= kMaxResponseHeaderChars) {
      std::wstring buffer(length, L'\0');  // twice the reported byte length
      DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
      if (WinHttp().QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE, WINHTTP_HEADER_NAME_BY_INDEX, &buffer[0], &bytes,
                              WINHTTP_NO_HEADER_INDEX)) {
        fields.statusCode.assign(buffer.c_str());
      }
    }
  }
  return readBody(request);
}

bool HttpClient::readHeaders(HINTERNET request) {
  DWORD length = 0;
  if (!WinHttp().QueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           WINHTTP_NO_OUTPUT_BUFFER, &length, WINHTTP_NO_HEADER_INDEX) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return true;  // no header text: the header fields keep their values
  }
  if (length / sizeof(wchar_t) > kMaxResponseHeaderChars) {
    fields.lastError = ERROR_WINHTTP_HEADER_SIZE_OVERFLOW;
    return false;
  }
  std::wstring buffer(length, L'\0');  // twice the reported byte length
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (WinHttp().QueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, &buffer[0], &bytes,
                          WINHTTP_NO_HEADER_INDEX)) {
    buffer.resize(bytes / sizeof(wchar_t));
    fields.responseHeaders.swap(buffer);
    ExtractHeaderFields(fields.responseHeaders, fields.forceCharset,
                        HeaderFields{fields.charset, fields.contentLength, fields.location, fields.responseCookies});
  }
  return true;
}

HttpClient::ReadOutcome HttpClient::readBody(HINTERNET request) {
  if (!fields.body.reset()) {
    fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
    fields.bodyLength = 0;
    return ReadOutcome::Failed;
  }
  ReadOutcome outcome = ReadOutcome::Read;
  DWORD available = 0;
  do {
    available = 0;
    if (!applyDeadline(request)) {
      outcome = ReadOutcome::Incomplete;
      break;
    }
    if (!WinHttp().QueryDataAvailable(request, &available)) {
      fields.lastError = GetLastError();
      outcome = ReadOutcome::Incomplete;
      break;
    }
    if (fields.progressCallback && fields.contentLength != 0) {
      fields.progressCallback(static_cast<double>(fields.body.size()) * 100.0 / fields.contentLength);
    }
    if (available == 0) break;
    if (!fields.body.fits(available)) {
      fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
      outcome = ReadOutcome::Failed;
      break;
    }
    std::vector<unsigned char> piece;
    try {
      piece.assign(static_cast<size_t>(available) + 1, 0);
    } catch (const std::bad_alloc&) {
      fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
      outcome = ReadOutcome::Failed;
      break;
    }
    DWORD read = 0;
    if (!WinHttp().ReadData(request, piece.data(), available, &read)) {
      fields.lastError = GetLastError();
      outcome = ReadOutcome::Incomplete;
      break;
    }
    if (fields.body.append(piece.data(), read) != BodyBuffer::AppendResult::Appended) {
      fields.lastError = ERROR_NOT_ENOUGH_MEMORY;
      outcome = ReadOutcome::Failed;
      break;
    }
  } while (available != 0);

  if (fields.progressCallback && fields.contentLength != 0) {
    fields.progressCallback(static_cast<double>(fields.body.size()) * 100.0 / fields.contentLength);
  }
  fields.bodyLength = fields.body.size();
  if (outcome == ReadOutcome::Read && bodyCutShort(request)) {
    fields.lastError = ERROR_WINHTTP_CONNECTION_ERROR;
    outcome = ReadOutcome::Incomplete;
  }
  if (outcome != ReadOutcome::Read) return outcome;
  // A body that cannot be decoded leaves responseText as it was.
  (void)DecodeBody(fields.body.data(), fields.bodyLength, ChooseBodyEncoding(fields.charset), fields.responseText);
  return outcome;
}

bool HttpClient::bodyCutShort(HINTERNET request) const {
  // Responses that carry no body whatever their Content-Length says.
  if (fields.statusCode == L"204" || fields.statusCode == L"304") return false;
  std::wstring declared(32, L'\0');
  DWORD bytes = static_cast<DWORD>(declared.size() * sizeof(wchar_t));
  if (!WinHttp().QueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, &declared[0], &bytes,
                           WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  return fields.bodyLength < ParseContentLength(declared.c_str());
}

}  // namespace orv
