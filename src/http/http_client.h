#pragma once
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "http/body_buffer.h"
#include "http/exchange_deadline.h"
#include "http/winhttp_handle.h"

namespace orv {

// One HTTP or HTTPS request per execute() over WinHTTP, with certificate leniency, up to three
// attempts and proxy discovery; the response stays in the object. One object serves one URL; its
// session opens on the first execute() and stays open until the object is destroyed. A GET follows
// redirects by the stub's rule (JudgeRedirect, never to plain http), and a proxy's 407 is answered
// with the user's logon where JudgeProxyChallenge allows it.
class HttpClient {
 public:
  using ProgressCallback = void (*)(double percent);

  // Largest raw response header block accepted, in characters; a larger one fails the attempt
  // with ERROR_WINHTTP_HEADER_SIZE_OVERFLOW.
  static constexpr uint32_t kMaxResponseHeaderChars = 1024u * 1024u;

  // Stores the URL; no network activity until execute(). progressCallback, when set, receives
  // the percentage of the body read so far (needs a Content-Length header).
  explicit HttpClient(std::wstring url, ProgressCallback progressCallback = nullptr);
  ~HttpClient() = default;
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Performs the request with verb "GET" or "POST" (any letter case). True when a complete
  // response arrived, whatever its HTTP status; false otherwise, with lastError() set: 3 empty
  // URL, 87 other verb, 13 a GET page cut off after "<html>" three times, ERROR_NOT_ENOUGH_MEMORY
  // when the body exceeds BodyBuffer::kMaxBodyBytes or cannot be stored, ERROR_WINHTTP_REDIRECT_FAILED
  // for a refused redirect and ERROR_WINHTTP_LOGIN_FAILURE for a proxy challenge not answered (both
  // with failureDetail()), else a system error. Never throws.
  [[nodiscard]] bool execute(const std::wstring& verb);

  // Settings, used by the next execute().
  // Refuse invalid certificates on HTTPS (default: accept them).
  void setRequireValidCertificate(bool value) { fields.requireValidCertificate = value; }
  void setProgressCallback(ProgressCallback callback) { fields.progressCallback = callback; }
  // Sent as a "Cookie: " header line on every attempt; empty: none.
  void setRequestCookies(std::wstring cookies) { fields.requestCookies = std::move(cookies); }
  // Bytes written after the request is sent (POST); their length is announced in the send.
  void setPostData(const void* data, uint32_t length);
  // Further request header lines ("Name: value", several joined by CR LF); empty: none.
  void setExtraHeaders(std::wstring headers) { fields.extraHeaders = std::move(headers); }
  // Explicit proxy ("host:port" or a WinHTTP proxy list), passed whole; empty: none.
  void setProxy(std::wstring proxy) { fields.proxy = std::move(proxy); }
  // When true, the charset keeps its value whatever the headers name.
  void setForceCharset(bool value) { fields.forceCharset = value; }
  // Proxy credentials; used only with an explicit proxy, the password only with a user name.
  void setProxyUser(std::wstring user) { fields.proxyUser = std::move(user); }
  void setProxyPassword(std::wstring password) { fields.proxyPassword = std::move(password); }
  // Time-outs in milliseconds as WinHttpSetTimeouts takes them (0: none, -1: infinite).
  void setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs);
  // Total time for one execute(), every attempt and read included (0, the default: none); each
  // blocking step's time-out is cut to what remains. Past it execute() gives up with false and
  // lastError() ERROR_WINHTTP_TIMEOUT, so a server that trickles its answer cannot hold it longer.
  void setTotalDeadline(uint32_t milliseconds) { fields.totalDeadlineMs = milliseconds; }

  // Results of the last execute(); string fields keep earlier values where a response did not
  // supply new ones, and the response cookies accumulate over calls.
  // The body decoded to wide text.
  std::wstring responseText() const { return fields.responseText; }
  // HTTP status as text, e.g. "200"; empty before a response.
  const std::wstring& statusCode() const { return fields.statusCode; }
  // Last error recorded: a system error code, or 3 (empty URL), 13 (cut-off page), 87 (bad verb).
  uint32_t lastError() const { return fields.lastError; }
  // Host name taken from the URL.
  const std::wstring& host() const { return fields.host; }
  // Raw response header block, lines ended by CR LF.
  const std::wstring& responseHeaders() const { return fields.responseHeaders; }
  // Charset named by the headers (or kept, see setForceCharset).
  const std::wstring& charset() const { return fields.charset; }
  // Raw body bytes (followed by a zero byte), or null before any body; bodyLength() of them.
  const unsigned char* body() const { return fields.body.data(); }
  uint32_t bodyLength() const { return fields.bodyLength; }
  // Bytes allocated for the body: 0, or 10240 times a power of two.
  uint32_t bodyCapacity() const { return fields.body.capacity(); }
  // Value of the Content-Length header; 0 when none was seen.
  uint32_t contentLength() const { return fields.contentLength; }
  // Cookies from Set-Cookie headers, "a=1; b=2;", accumulated over calls.
  const std::wstring& responseCookies() const { return fields.responseCookies; }
  // "" unless the last execute() refused a redirect ("redirect to <address> refused: <why>") or a
  // proxy's challenge (JudgeProxyChallenge's line): then that text, for the log.
  const std::string& failureDetail() const { return fields.failureDetail; }
  // Digits directly after "Location: ", if a response had them.
  const std::wstring& location() const { return fields.location; }
  // Whether the WinHTTP session is open.
  bool hasSession() const { return static_cast<bool>(fields.sessionHandle); }

 private:
  enum class ReadOutcome {
    Read,        // headers, status and the whole body were read and decoded
    Incomplete,  // the response broke off or was refused; another attempt may succeed
    Failed,      // the body could not be stored: no further attempt
  };

  // Opens a connection and a request for url with verb and the request's options; fields.host
  // takes url's host. False when url cannot be split or a handle cannot be made.
  bool openRequest(const std::wstring& url, const wchar_t* verb, WinHttpHandle& connection, WinHttpHandle& request);
  // After a complete response: Answered when the request was set up again (a followed redirect or a
  // proxy answered) and must be sent once more, Refused (lastError and failureDetail set) when the
  // exchange ends, Final otherwise.
  enum class Turn { Final, Answered, Refused };
  Turn answerRedirectOrProxy(const wchar_t* verb, std::wstring& current, int& redirects, bool& proxyAnswered,
                             WinHttpHandle& connection, WinHttpHandle& request);
  void addRequestHeaders(HINTERNET request);
  void setExplicitProxy(HINTERNET request);
  // Sends the request; true when it went out. Stores the error of a failed send.
  bool send(HINTERNET request);
  // After a failed send: applies the user's proxy settings; true when the request was sent again
  // successfully through the proxy that an automatic configuration script named.
  bool discoverProxy(HINTERNET request);
  // Before each attempt and each read: false, lastError ERROR_WINHTTP_TIMEOUT, once the total
  // deadline has passed; otherwise cuts the request's time-outs to the time that remains.
  bool applyDeadline(HINTERNET request);
  ReadOutcome readResponse(HINTERNET request);
  bool readHeaders(HINTERNET request);
  ReadOutcome readBody(HINTERNET request);
  // Whether the connection ended before the body that the Content-Length header announced was
  // complete (WinHTTP under Wine reports such a body as complete).
  bool bodyCutShort(HINTERNET request) const;

  struct Fields {
    WinHttpHandle sessionHandle;
    bool requireValidCertificate = false;
    std::wstring url;
    std::wstring host;
    std::wstring responseHeaders;
    std::wstring responseText;
    std::wstring charset;
    BodyBuffer body;
    uint32_t bodyLength = 0;
    ProgressCallback progressCallback = nullptr;
    uint32_t contentLength = 0;
    std::wstring responseCookies;
    std::wstring requestCookies;
    std::vector<unsigned char> postData;
    uint32_t postDataLength = 0;
    std::wstring extraHeaders;
    std::wstring proxy;
    uint32_t lastError = 0;
    std::wstring statusCode;
    std::wstring userAgent = L"OrvandelSetup";
    bool forceCharset = false;
    std::wstring proxyUser;
    std::wstring proxyPassword;
    std::wstring location;
    std::string failureDetail;
    int resolveTimeout = 0;
    int connectTimeout = 60000;
    int sendTimeout = 30000;
    int receiveTimeout = 30000;
    uint32_t totalDeadlineMs = 0;
    ExchangeDeadline deadline{0, 0};
  };
  Fields fields;
};

}  // namespace orv
