#include "http/http_client.h"

HttpClient::HttpClient(std::wstring url, ProgressCallback progressCallback)
    : url_(std::move(url)), progressCallback_(progressCallback) {}

HttpClient::~HttpClient() {
  if (sessionHandle_) WinHttpCloseHandle(sessionHandle_);
}

bool HttpClient::execute(const std::wstring&) {
  lastError_ = 50;
  return false;
}
