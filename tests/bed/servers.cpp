#include "servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "wine.h"

namespace bed {
namespace {

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Binds s to 127.0.0.1 on a port the system picks; the port, or 0.
int BindLoopback(int s) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = 0;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
  socklen_t length = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

int ConnectLocal(int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return -1;
  }
  return s;
}

// Copies bytes both ways until either side closes or the server stops.
void Relay(int a, int b, const std::atomic<bool>& stopping) {
  pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
  char buffer[16384];
  while (!stopping) {
    const int ready = poll(fds, 2, 200);
    if (ready < 0) return;
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t got = recv(fds[i].fd, buffer, sizeof buffer, 0);
      if (got <= 0 || !SendAll(fds[1 - i].fd, std::string(buffer, static_cast<size_t>(got)))) return;
    }
  }
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return "";
}

std::string RecordedRequest::Param(const std::string& name) const {
  const auto found = params.find(name);
  return found == params.end() ? "" : found->second;
}

TestServer::TestServer() : server_(std::make_unique<httplib::Server>()) {}

TestServer::TestServer(CertKind kind)
    : server_(std::make_unique<httplib::SSLServer>(CertFile(GetBed().certs, kind).c_str(),
                                                   KeyFile(GetBed().certs, kind).c_str())) {}

TestServer::~TestServer() { Stop(); }

bool TestServer::Bind() {
  if (port_ > 0) return true;
  if (!server_->is_valid()) return false;
  const int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) return false;
  port_ = port;
  return true;
}

bool TestServer::Start() {
  if (served_) return started();
  if (!server_->is_valid()) return false;
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    RecordedRequest record{request.method, request.target, request.path, request.params, request.headers,
                           request.body};
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(record));
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The body is read only after routing: the logger, called once the request is handled, adds it.
  server_->set_logger([this](const httplib::Request& request, const httplib::Response&) {
    if (request.body.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
      if (it->method == request.method && it->target == request.target && it->body.empty()) {
        it->body = request.body;
        break;
      }
    }
  });
  if (!Bind()) return false;
  served_ = true;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 500 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return server_->is_running();
}

void TestServer::Stop() {
  // A bound socket is closed only by the serving loop: one that never served runs it briefly.
  if (port_ > 0 && !served_) (void)Start();
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

std::vector<RecordedRequest> TestServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t TestServer::Count(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(),
                                           [&](const RecordedRequest& r) { return r.path == path; }));
}

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {}

RawServer::~RawServer() { Stop(); }

bool RawServer::Start() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return false;
  port_ = BindLoopback(listener_);
  if (port_ == 0 || listen(listener_, 16) != 0) {
    close(listener_);
    listener_ = -1;
    port_ = 0;
    return false;
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void RawServer::AcceptLoop() {
  pollfd fd{listener_, POLLIN, 0};
  while (!stopping_) {
    if (poll(&fd, 1, 100) <= 0) continue;
    const int s = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (s < 0) continue;
    ++connections_;
    std::lock_guard<std::mutex> lock(mutex_);
    sockets_.push_back(s);
    workers_.emplace_back([this, s] {
      handler_(s, stopping_);
      std::lock_guard<std::mutex> done(mutex_);
      sockets_.erase(std::remove(sockets_.begin(), sockets_.end(), s), sockets_.end());
      close(s);
    });
  }
}

void RawServer::Stop() {
  if (listener_ < 0) return;
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const int s : sockets_) shutdown(s, SHUT_RDWR);
  }
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
  workers_.clear();
  close(listener_);
  listener_ = -1;
}

std::string ReadRequestHead(int socket, int timeoutMs) {
  std::string head;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (head.size() < 65536 && (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd fd{socket, POLLIN, 0};
    if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) return "";
    char c;
    if (recv(socket, &c, 1, 0) != 1) return "";
    head += c;
  }
  return head;
}

bool SendAll(int socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

int RefusedPort() {
  static const int port = [] {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return s < 0 ? 0 : BindLoopback(s);  // the socket stays open, unlistened, until the process ends
  }();
  return port;
}

TestProxy::TestProxy(Answer answer)
    : answer_(std::move(answer)),
      raw_([this](int socket, const std::atomic<bool>& stopping) { Serve(socket, stopping); }) {}

std::vector<std::string> TestProxy::RequestLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void TestProxy::Serve(int socket, const std::atomic<bool>& stopping) {
  const std::string head = ReadRequestHead(socket);
  const size_t lineEnd = head.find("\r\n");
  if (lineEnd == std::string::npos) return;
  const std::string line = head.substr(0, lineEnd);
  const size_t space1 = line.find(' ');
  const size_t space2 = line.rfind(' ');
  if (space1 == std::string::npos || space2 <= space1) return;
  const std::string method = line.substr(0, space1);
  const std::string target = line.substr(space1 + 1, space2 - space1 - 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(method + " " + target);
  }
  if (answer_) {
    const std::string own = answer_(method + " " + target);
    if (!own.empty()) {
      SendAll(socket, own);
      return;
    }
  }
  std::string hostPort = target;
  std::string rest;
  if (method != "CONNECT") {
    const size_t schemeEnd = target.find("://");
    if (schemeEnd == std::string::npos) return;
    const size_t pathStart = target.find('/', schemeEnd + 3);
    hostPort = target.substr(schemeEnd + 3, pathStart == std::string::npos ? std::string::npos : pathStart - schemeEnd - 3);
    const std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
    rest = method + " " + path + line.substr(space2) + head.substr(lineEnd);
  }
  const size_t colon = hostPort.rfind(':');
  const int port = colon == std::string::npos ? 80 : std::atoi(hostPort.c_str() + colon + 1);
  const int upstream = ConnectLocal(port);
  if (upstream < 0) {
    SendAll(socket, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  const bool ready = method == "CONNECT" ? SendAll(socket, "HTTP/1.1 200 Connection established\r\n\r\n")
                                         : SendAll(upstream, rest);
  if (ready) Relay(socket, upstream, stopping);
  close(upstream);
}

namespace {

// Waits until the client has taken every byte sent (or 5 s passed).
void Drain(int socket) {
  for (int i = 0; i < 500; ++i) {
    int pending = 0;
    if (ioctl(socket, TIOCOUTQ, &pending) != 0 || pending == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

RangeFileServer::RangeFileServer(std::string payload, std::function<Behaviour(int connection)> behave)
    : payload_(std::move(payload)),
      behave_(std::move(behave)),
      raw_([this](int socket, const std::atomic<bool>& stopping) { Serve(socket, stopping); }) {}

std::vector<std::string> RangeFileServer::Ranges() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return ranges_;
}

void RangeFileServer::Serve(int socket, const std::atomic<bool>& stopping) {
  const std::string head = ReadRequestHead(socket);
  if (head.empty()) return;
  const Behaviour how = behave_(connections_++);
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  size_t start = 0;
  const size_t range = lower.find("\r\nrange: bytes=");
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ranges_.push_back(range == std::string::npos ? "" : head.substr(range + 15, head.find("\r\n", range + 2) - range - 15));
  }
  if (how.status != 200) {
    SendAll(socket, "HTTP/1.1 " + std::to_string(how.status) + " Other\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (range != std::string::npos && how.honourRange) start = std::stoull(head.substr(range + 15));
  std::string answer = start > 0 ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(start) +
                                       "-" + std::to_string(payload_.size() - 1) + "/" +
                                       std::to_string(payload_.size()) + "\r\n"
                                 : std::string("HTTP/1.1 200 OK\r\n");
  answer += "Content-Type: application/octet-stream\r\nETag: \"v1\"\r\nContent-Length: " +
            std::to_string(payload_.size() - start) + "\r\nConnection: close\r\n\r\n";
  if (!SendAll(socket, answer)) return;
  size_t at = start;
  const size_t stopAt = how.resetAfter ? std::min(payload_.size(), start + how.resetAfter) : payload_.size();
  while (at < stopAt && !stopping) {
    const size_t piece = std::min<size_t>(how.pieceBytes, stopAt - at);
    if (!SendAll(socket, payload_.substr(at, piece))) {
      cut_ = true;
      return;
    }
    sent_ += piece;
    at += piece;
    if (how.pieceMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(how.pieceMs));
  }
  if (at == payload_.size()) return;
  Drain(socket);
  if (how.stallMs > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(how.stallMs));
    if (SendAll(socket, std::string(payload_.size() - at, how.lateByte))) lateSent_ = true;
    lateTried_ = true;
    return;
  }
  const linger abortive{1, 0};
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}

std::string Payload(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  return bytes;
}

}  // namespace bed
