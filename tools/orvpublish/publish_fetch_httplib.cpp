#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "publish_fetch.h"
#include "text/ascii_case.h"

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

uint64_t MillisecondsSince(Clock::time_point start) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Stops the client's exchange once the deadline has passed, until Done() is called.
class Watchdog {
 public:
  Watchdog(httplib::Client& client, uint32_t deadlineMs) {
    if (deadlineMs == 0) return;
    thread_ = std::thread([this, &client, deadlineMs] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (cv_.wait_for(lock, std::chrono::milliseconds(deadlineMs), [this] { return done_; })) return;
      expired_ = true;
      // Repeated: a stop that comes while the connection is still being made finds no socket.
      while (!cv_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) client.stop();
    });
  }
  ~Watchdog() { Done(); }
  void Done() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  bool expired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  bool expired_ = false;
  std::thread thread_;
};

// Splits "scheme://authority/path?query#fragment" into "scheme://authority" and "/path?query".
bool SplitUrl(const std::string& url, std::string& origin, std::string& target) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  std::string lower = url.substr(0, scheme);
  for (char& c : lower) c = AsciiLower(c);
  if (lower != "http" && lower != "https") return false;
  const std::size_t pathStart = url.find_first_of("/?#", scheme + 3);
  origin = lower + "://" + url.substr(scheme + 3, pathStart == std::string::npos ? std::string::npos : pathStart - scheme - 3);
  target = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  target = target.substr(0, target.find('#'));
  if (target.empty() || target[0] != '/') target = "/" + target;
  return origin.size() > lower.size() + 3;
}

std::string ErrorText(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection: return "no connection could be made";
    case httplib::Error::ConnectionTimeout: return "the connection timed out";
    case httplib::Error::SSLConnection: return "the TLS handshake failed";
    case httplib::Error::SSLLoadingCerts: return "the certificate authorities could not be loaded";
    case httplib::Error::SSLServerVerification: return "the server's certificate was refused";
    case httplib::Error::ExceedRedirectCount: return "too many redirects";
    case httplib::Error::Read: return "the answer broke off";
    case httplib::Error::Write: return "the request could not be sent";
    default: return "the request failed (" + httplib::to_string(error) + ")";
  }
}

}  // namespace

bool CanUseCaFile() { return true; }

bool CanFetch() { return true; }

bool Fetch(const std::string& url, const std::string& caFile, const FetchLimits& limits, const BodySink& sink,
           FetchResult& result) {
  result = FetchResult();
  std::string origin;
  std::string target;
  if (!SplitUrl(url, origin, target)) {
    result.error = "not an http or https address: " + url;
    return false;
  }
  httplib::Client client(origin);
  if (!client.is_valid()) {
    result.error = "cannot use the address " + url;
    return false;
  }
  const uint32_t idleSeconds = (limits.idleMs + 999) / 1000;
  client.set_connection_timeout(idleSeconds, 0);
  client.set_read_timeout(idleSeconds, 0);
  client.set_write_timeout(idleSeconds, 0);
  client.set_follow_location(true);
  client.enable_server_certificate_verification(true);
  if (!caFile.empty()) client.set_ca_cert_path(caFile.c_str());

  const Clock::time_point start = Clock::now();
  Watchdog watchdog(client, limits.deadlineMs);
  bool tooLarge = false;
  bool sinkStopped = false;
  const httplib::Headers headers = {{"User-Agent", "orvpublish"}};
  httplib::Result response = client.Get(
      target, headers,
      [&](const httplib::Response& head) {
        result.figures.status = head.status;
        for (const auto& header : head.headers) result.headers += header.first + ": " + header.second + "\r\n";
        return true;
      },
      [&](const char* data, std::size_t size) {
        if (size > limits.maxBytes - result.figures.bytes) {
          tooLarge = true;
          return false;
        }
        result.figures.bytes += size;
        if (!sink(data, size)) {
          sinkStopped = true;
          return false;
        }
        return true;
      });
  watchdog.Done();
  result.figures.elapsedMs = MillisecondsSince(start);
  if (response && response.error() == httplib::Error::Success) {
    result.figures.status = response->status;
    return true;
  }
  if (tooLarge) {
    result.error = "the body is larger than " + std::to_string(limits.maxBytes) + " bytes";
  } else if (watchdog.expired()) {
    result.error = "no complete answer within " + std::to_string(limits.deadlineMs / 1000) + " s";
  } else if (sinkStopped) {
    result.error = "stopped";
  } else if (response.error() == httplib::Error::Read && result.figures.status != 0) {
    result.error = "the body broke off or no data came for " + std::to_string(idleSeconds) + " s";
  } else {
    result.error = ErrorText(response.error());
    const long verify = client.get_openssl_verify_result();
    if (verify != X509_V_OK) result.error += " (certificate: " + std::string(X509_verify_cert_error_string(verify)) + ")";
  }
  return false;
}

}  // namespace orv
