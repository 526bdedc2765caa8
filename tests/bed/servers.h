#pragma once
#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "certs.h"

namespace bed {

// One request as a local server received it.
struct RecordedRequest {
  std::string method;
  std::string target;  // path with query, as sent
  std::string path;
  httplib::Params params;
  httplib::Headers headers;
  std::string body;

  // The value of header name (case-insensitive), or "".
  std::string Header(const std::string& name) const;
  // The value of query parameter name, or "".
  std::string Param(const std::string& name) const;
};

// A scripted HTTP or HTTPS server on 127.0.0.1 ("localhost") that records every request before
// it is routed. Register handlers through server() before Start().
class TestServer {
 public:
  // Plain HTTP.
  explicit TestServer(int port);
  // HTTPS presenting the certificate of kind from the bed's certificate folder.
  TestServer(int port, CertKind kind);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  httplib::Server& server() { return *server_; }
  // Binds the port (retrying briefly while a previous test's socket lingers) and serves on a
  // thread. False when the port cannot be bound or the certificate cannot be loaded.
  [[nodiscard]] bool Start();
  void Stop();

  std::vector<RecordedRequest> Requests() const;
  // Requests whose path equals path.
  size_t Count(const std::string& path) const;

 private:
  int port_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
};

// A TCP server on 127.0.0.1 whose every connection is handled by a function of the test (for
// servers that break the protocol), each on its own thread. The handler gets the socket and a
// stop flag to poll; the server closes the socket when the handler returns.
class RawServer {
 public:
  using Handler = std::function<void(int socket, const std::atomic<bool>& stopping)>;
  RawServer(int port, Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  [[nodiscard]] bool Start();
  void Stop();
  int Connections() const { return connections_; }

 private:
  void AcceptLoop();
  int port_;
  Handler handler_;
  int listener_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<int> sockets_;
};

// Reads one HTTP request head (up to the blank line) from a socket; "" on close or time-out.
std::string ReadRequestHead(int socket, int timeoutMs = 10000);
// Sends all bytes; false when the peer is gone.
bool SendAll(int socket, const std::string& bytes);

// A forward proxy on 127.0.0.1: CONNECT tunnels and absolute-form requests, every request line
// recorded ("CONNECT localhost:18445", "GET http://localhost:18080/x").
class TestProxy {
 public:
  explicit TestProxy(int port);
  [[nodiscard]] bool Start() { return raw_.Start(); }
  void Stop() { raw_.Stop(); }
  std::vector<std::string> RequestLines() const;

 private:
  void Serve(int socket, const std::atomic<bool>& stopping);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  RawServer raw_;
};

}  // namespace bed
