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
// it is routed, on a port the system picks. Register handlers through server() before Start().
class TestServer {
 public:
  // Plain HTTP.
  TestServer();
  // HTTPS presenting the certificate of kind from the bed's certificate folder.
  explicit TestServer(CertKind kind);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  httplib::Server& server() { return *server_; }
  // False when no port could be bound. Takes a free port without listening yet: connections to
  // it are refused until Start(), so its address can be handed out before the routes exist.
  [[nodiscard]] bool Bind();
  // False when the port cannot be bound or the certificate cannot be loaded. Binds (unless
  // Bind() did) and serves on a thread; returns once the server accepts connections.
  [[nodiscard]] bool Start();
  void Stop();
  // 0 before Bind() or Start(); then the bound port.
  int port() const { return port_; }
  bool started() const { return thread_.joinable(); }

  std::vector<RecordedRequest> Requests() const;
  // Requests whose path equals path.
  size_t Count(const std::string& path) const;

 private:
  int port_ = 0;
  bool served_ = false;  // Start() ran the serving loop once
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
};

// A TCP server on 127.0.0.1, on a port the system picks, whose every connection is handled by a
// function of the test (for servers that break the protocol), each on its own thread. The handler
// gets the socket and a stop flag to poll; the server closes the socket when the handler returns.
class RawServer {
 public:
  using Handler = std::function<void(int socket, const std::atomic<bool>& stopping)>;
  explicit RawServer(Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  // False when no port could be bound and listened on.
  [[nodiscard]] bool Start();
  void Stop();
  int Connections() const { return connections_; }
  // 0 before Start(); then the bound port.
  int port() const { return port_; }

 private:
  void AcceptLoop();
  int port_ = 0;
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

// A loopback port on which connections are refused for the whole test process: bound, never
// listened on, so no other program can take it. 0 when no port could be bound.
int RefusedPort();

// A forward proxy on 127.0.0.1: CONNECT tunnels and absolute-form requests, every request line
// recorded ("CONNECT localhost:40001", "GET http://localhost:40002/x").
class TestProxy {
 public:
  // Gives the proxy's own answer to a request line instead of passing it on; "" passes it on.
  using Answer = std::function<std::string(const std::string& requestLine)>;
  explicit TestProxy(Answer answer = nullptr);
  // False when no port could be bound.
  [[nodiscard]] bool Start() { return raw_.Start(); }
  void Stop() { raw_.Stop(); }
  int port() const { return raw_.port(); }
  std::vector<std::string> RequestLines() const;

 private:
  void Serve(int socket, const std::atomic<bool>& stopping);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  Answer answer_;
  RawServer raw_;
};

// What one connection of a RangeFileServer does.
struct Behaviour {
  bool honourRange = true;  // answer "Range: bytes=N-" with a 206
  size_t resetAfter = 0;    // reset the connection after this many body bytes reached the client (0: never)
  int stallMs = 0;          // after resetAfter bytes: stay silent this long instead of resetting ...
  char lateByte = 0;        // ... then send the rest of the body as this byte
  int status = 200;         // another status: a short page instead of the file
  int pieceMs = 0;          // pause after each piece
  size_t pieceBytes = 64 * 1024;
};

// A plain HTTP server of one file (strong ETag "v1") whose every connection behaves as its
// function says: ranges honoured or not, resets, stalls, other statuses, throttling.
class RangeFileServer {
 public:
  RangeFileServer(std::string payload, std::function<Behaviour(int connection)> behave);
  [[nodiscard]] bool Start() { return raw_.Start(); }
  // Its address, ".../setup.exe" (every path gives the file).
  std::string Url() const { return "http://localhost:" + std::to_string(raw_.port()) + "/setup.exe"; }
  // Body bytes written to the clients' sockets, in all.
  size_t BodyBytesSent() const { return sent_; }
  // Whether a stalled connection has tried to send its other bytes, and whether the socket took them.
  bool LateBytesTried() const { return lateTried_; }
  bool LateBytesSent() const { return lateSent_; }
  // Whether a client went away in the middle of the body.
  bool Cut() const { return cut_; }
  // The "Range: bytes=" value of each request, in order ("" for none).
  std::vector<std::string> Ranges() const;

 private:
  void Serve(int socket, const std::atomic<bool>& stopping);

  std::string payload_;
  std::function<Behaviour(int)> behave_;
  std::atomic<int> connections_{0};
  std::atomic<size_t> sent_{0};
  std::atomic<bool> lateSent_{false};
  std::atomic<bool> lateTried_{false};
  std::atomic<bool> cut_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> ranges_;
  RawServer raw_;
};

// size bytes of a fixed pseudo-random sequence.
std::string Payload(size_t size);

}  // namespace bed
