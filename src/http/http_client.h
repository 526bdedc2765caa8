#pragma once
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

// One HTTP or HTTPS request per execute() over WinHTTP, with certificate leniency, up to three
// attempts and proxy discovery; the response stays in the object.
class HttpClient {
 public:
  using ProgressCallback = void (*)(double percent);

  // Stores the URL; no network activity until execute().
  explicit HttpClient(std::wstring url, ProgressCallback progressCallback = nullptr);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Performs the request with verb "GET" or "POST" (any letter case). True when a complete
  // response arrived, whatever its HTTP status; false otherwise, with lastError() set.
  [[nodiscard]] bool execute(const std::wstring& verb);

  // The body decoded to wide text.
  std::wstring responseText() const { return responseText_; }
  // HTTP status as text, e.g. "200"; empty before a response.
  const std::wstring& statusCode() const { return statusCode_; }
  // Last error recorded: a system error code, or 3 (empty URL), 13 (cut-off page), 87 (bad verb).
  uint32_t lastError() const { return lastError_; }

  // Refuse invalid certificates on HTTPS (default: accept them).
  void setRequireValidCertificate(bool value) { requireValidCertificate_ = value; }

 private:
  HINTERNET sessionHandle_ = nullptr;
  bool requireValidCertificate_ = false;
  std::wstring url_;
  std::wstring responseText_;
  std::wstring statusCode_;
  uint32_t lastError_ = 0;
  ProgressCallback progressCallback_ = nullptr;
};
