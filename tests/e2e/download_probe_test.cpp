// The stub's own download (tests/winhelpers/download_probe.exe) under Wine against servers that
// behave like bad networks: resets, servers that ignore ranges, stalls, failing addresses,
// redirects and an authenticating proxy. Pauses and the trickle limit are shortened where the
// product's values would only make the tests slow.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stub_fixture.h"

namespace bed {
namespace {

constexpr size_t kMiB = 1024 * 1024;
const std::vector<std::string> kShortPauses = {"--pauses-ms", "100,300,1000"};

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

// What one connection of a FileServer does.
struct Behaviour {
  bool honourRange = true;  // answer "Range: bytes=N-" with a 206
  size_t resetAfter = 0;    // reset the connection after this many body bytes reached the client (0: never)
  int stallMs = 0;          // after resetAfter bytes: stay silent this long instead of resetting ...
  char lateByte = 0;        // ... then send the rest of the body as this byte
  int status = 200;         // another status: a short page instead of the file
  int pieceMs = 0;          // pause after each 64 KiB piece
};

// A plain HTTP server of one file whose every connection behaves as its function says.
class FileServer {
 public:
  FileServer(std::string payload, std::function<Behaviour(int connection)> behave)
      : payload_(std::move(payload)),
        behave_(std::move(behave)),
        raw_([this](int socket, const std::atomic<bool>& stopping) { Serve(socket, stopping); }) {}
  bool Start() { return raw_.Start(); }
  std::string Url() const { return "http://localhost:" + std::to_string(raw_.port()) + "/setup.exe"; }
  size_t BodyBytesSent() const { return sent_; }
  // Whether a stalled connection has tried to send its other bytes, and whether the socket took them.
  bool LateBytesTried() const { return lateTried_; }
  bool LateBytesSent() const { return lateSent_; }
  // Whether a client went away in the middle of the body.
  bool Cut() const { return cut_; }
  std::vector<std::string> Ranges() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return ranges_;
  }

 private:
  // Waits until the client has taken every byte sent (or 5 s passed).
  static void Drain(int socket) {
    for (int i = 0; i < 500; ++i) {
      int pending = 0;
      if (ioctl(socket, TIOCOUTQ, &pending) != 0 || pending == 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  void Serve(int socket, const std::atomic<bool>& stopping) {
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
      const size_t piece = std::min<size_t>(64 * 1024, stopAt - at);
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

struct ProbeRun {
  std::vector<std::string> lines;  // "log LEVEL message", "bar N", "end"
  std::string result;              // the result line
  std::string file;                // what the download file holds
  std::string output;

  bool Logged(const std::string& text) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }
  size_t Count(const std::string& prefix) const {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
};

ProbeRun RunProbe(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
  const std::string out = GetBed().out + "/download-probe.bin";
  RemoveFile(out);
  std::vector<std::string> all{"--out", WinPath(out)};
  all.insert(all.end(), args.begin(), args.end());
  const ProcessResult process = RunWine("download_probe.exe", all, 240000, env);
  ProbeRun run;
  run.output = process.out + process.err;
  std::string line;
  for (const char c : process.out) {
    if (c == '\r') continue;
    if (c != '\n') {
      line += c;
      continue;
    }
    if (line.rfind("result=", 0) == 0) {
      run.result = line;
    } else {
      run.lines.push_back(line);
    }
    line.clear();
  }
  EXPECT_TRUE(ReadFile(out, run.file)) << run.output;
  return run;
}

// Every bar position that goes back is right after the logged restart from byte 0.
void ExpectBarNeverGoesBackUnlessRestarted(const ProbeRun& run) {
  int last = 0;
  bool restarted = false;
  for (const std::string& line : run.lines) {
    if (line.find("Restarting the download from byte 0") != std::string::npos) restarted = true;
    if (line.rfind("bar ", 0) != 0) continue;
    const int position = std::stoi(line.substr(4));
    EXPECT_TRUE(position >= last || restarted) << line << " after " << last << run.output;
    restarted = false;
    last = position;
  }
}

class DownloadProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BedReady(error)) << error;
  }
};

TEST_F(DownloadProbe, ResetEvery6MiBStillDeliversA24MiBFileWithFewBytesSentTwice) {
  const std::string payload = Payload(24 * kMiB);
  FileServer server(payload, [](int) { return Behaviour{true, 6 * kMiB}; });
  ASSERT_TRUE(server.Start());
  std::vector<std::string> args{"--url", server.Url()};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=25165824", 0), 0u) << run.output;
  EXPECT_TRUE(run.file == payload) << "the file differs from what the server offered";
  const double twice = static_cast<double>(server.BodyBytesSent()) - payload.size();
  std::printf("24 MiB behind a 6 MiB reset: %zu body bytes sent, %.0f sent twice (%.2f%%), %zu connections\n",
              server.BodyBytesSent(), twice, 100.0 * twice / payload.size(), server.Ranges().size());
  EXPECT_LE(twice, 0.05 * payload.size());
  EXPECT_GE(run.Count("log INFO Resuming download at "), 3u) << run.output;
  const std::vector<std::string> ranges = server.Ranges();
  ASSERT_GE(ranges.size(), 4u);
  EXPECT_EQ(ranges[0], "");
  for (size_t i = 1; i < ranges.size(); ++i) EXPECT_NE(ranges[i], "") << "attempt " << i + 1 << " resumes";
  ExpectBarNeverGoesBackUnlessRestarted(run);
  EXPECT_EQ(run.Count("end"), 1u);
}

TEST_F(DownloadProbe, AServerThatIgnoresRangesResetOnceStillDelivers) {
  const std::string payload = Payload(12 * kMiB);
  FileServer server(payload, [](int connection) { return Behaviour{false, connection == 0 ? 6 * kMiB : 0}; });
  ASSERT_TRUE(server.Start());
  std::vector<std::string> args{"--url", server.Url()};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=12582912", 0), 0u) << run.output;
  EXPECT_TRUE(run.file == payload) << "the file differs from what the server offered";
  EXPECT_TRUE(run.Logged("log WARNING Restarting the download from byte 0: the server sent the whole file again "
                         "(HTTP status 200)"))
      << run.output;
  ExpectBarNeverGoesBackUnlessRestarted(run);
}

TEST_F(DownloadProbe, AnAttemptThatStallsAndThenSendsOtherBytesChangesNothing) {
  const std::string payload = Payload(4 * kMiB);
  // The first connection sends 1 MiB, is silent past the limit (2 s here), then sends other bytes
  // while WinHTTP still holds the given-up request (its own time-out, 6 s here, has not passed).
  FileServer server(payload, [](int connection) {
    return connection == 0 ? Behaviour{true, 1 * kMiB, 4000, 'Z'} : Behaviour{true, 0};
  });
  ASSERT_TRUE(server.Start());
  std::vector<std::string> args{"--url", server.Url(), "--window-ms", "2000", "--end-bound-ms", "8000"};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=4194304", 0), 0u) << run.output;
  // Silence after the last full stretch of bytes, or a last few bytes and then silence: either way
  // the attempt is given up at the limit.
  EXPECT_TRUE(run.Logged("log WARNING Download attempt 1 of 20 broke off at 1048576 of 4194304 bytes (no data for too long)") ||
              run.Logged("log WARNING Download attempt 1 of 20 broke off at 1048576 of 4194304 bytes (less than 4096 bytes in 2 s)"))
      << run.output;
  // Give the stalled connection the time to send its other bytes, then look at the file again.
  for (int i = 0; i < 100 && !server.LateBytesTried(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(server.LateBytesTried()) << run.output;
  std::printf("the stalled connection's other bytes were %s\n", server.LateBytesSent() ? "taken by its socket" : "refused: the connection was closed");
  std::string after;
  ASSERT_TRUE(ReadFile(GetBed().out + "/download-probe.bin", after));
  EXPECT_TRUE(after == payload) << "bytes of the given-up attempt reached the file";
  EXPECT_FALSE(run.Logged("has not ended")) << "the given-up request ended within its bound: " << run.output;
}

TEST_F(DownloadProbe, ClosingTheDialogEndsTheAttemptAtOnce) {
  const std::string payload = Payload(8 * kMiB);
  FileServer server(payload, [](int) {
    Behaviour how{true, 0};
    how.pieceMs = 50;  // about 1.3 MB/s: some 6 s in all
    return how;
  });
  ASSERT_TRUE(server.Start());
  const ProbeRun run = RunProbe({"--url", server.Url(), "--close-at-percent", "10"});
  ASSERT_EQ(run.result.rfind("result=closed ms=", 0), 0u) << run.output;
  const long ms = std::stol(run.result.substr(run.result.find("ms=") + 3));
  EXPECT_LT(ms, 3000) << "the close at 10% ended the download at once: " << run.output;
  EXPECT_FALSE(run.Logged("Download attempt")) << "no failure, no other attempt: " << run.output;
  EXPECT_LT(run.file.size(), payload.size() / 2);
  for (int i = 0; i < 50 && !server.Cut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(server.Cut()) << "the connection was closed in the middle of the body";
}

TEST_F(DownloadProbe, AMirrorTakesOverAndKeepsTheBytesOfTheSameFile) {
  const std::string payload = Payload(8 * kMiB);
  // The wrapper's host gives 4 MiB, then only 404s; the mirror gives the rest.
  FileServer wrapper(payload, [](int connection) {
    Behaviour how{true, 4 * kMiB};
    if (connection > 0) how.status = 404;
    return how;
  });
  FileServer mirror(payload, [](int) { return Behaviour{true, 0}; });
  ASSERT_TRUE(wrapper.Start());
  ASSERT_TRUE(mirror.Start());
  std::vector<std::string> args{"--url", wrapper.Url(), "--mirror", mirror.Url(), "--sha256"};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=8388608", 0), 0u) << run.output;
  EXPECT_TRUE(run.file == payload);
  EXPECT_TRUE(run.Logged("log ERROR Download attempt 2 of 20 failed (HTTP status 404)")) << run.output;
  EXPECT_TRUE(run.Logged("log INFO Trying mirror " + mirror.Url())) << run.output;
  EXPECT_EQ(mirror.Ranges(), std::vector<std::string>{"4194304-"});
  EXPECT_EQ(mirror.BodyBytesSent(), 4 * kMiB);
}

TEST_F(DownloadProbe, RedirectsFollowTheRule) {
  const std::string payload = Payload(256 * 1024);
  TestServer plain;
  plain.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(payload, "application/octet-stream");
  });
  ASSERT_TRUE(plain.Start());
  const std::string plainUrl = "http://localhost:" + std::to_string(plain.port()) + "/setup.exe";
  TestServer secure(CertKind::Trusted);
  secure.server().Get("/down", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(plainUrl.c_str(), 302);
  });
  secure.server().Get("/same", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/real.exe", 301);
  });
  secure.server().Get("/real.exe", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(payload, "application/octet-stream");
  });
  secure.server().Get(R"(/loop(\d+))", [](const httplib::Request& request, httplib::Response& response) {
    response.set_redirect(("/loop" + std::to_string(std::stoi(request.matches[1]) + 1)).c_str(), 302);
  });
  ASSERT_TRUE(secure.Start());
  const std::string base = "https://localhost:" + std::to_string(secure.port());
  struct Case {
    const char* name;
    std::string url;
    bool sha256;
    const char* result;
    std::string line;
  };
  const Case cases[] = {
      {"https to http, CRC only", base + "/down", false, "result=failed",
       "failed (redirect to " + plainUrl + " refused: a redirect from https to http)"},
      {"https to http, even with a SHA-256", base + "/down", true, "result=failed",
       "failed (redirect to " + plainUrl + " refused: a redirect from https to http)"},
      {"https to https on the same host", base + "/same", false, "result=done", "log INFO Redirected to " + base + "/real.exe"},
      {"an endless chain", base + "/loop0", false, "result=failed", "refused: more than 10 redirects)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"--url", c.url};
    if (c.sha256) args.push_back("--sha256");
    const ProbeRun run = RunProbe(args);
    EXPECT_EQ(run.result.rfind(c.result, 0), 0u) << run.output;
    EXPECT_TRUE(run.Logged(c.line)) << run.output;
    if (std::string(c.result) == "result=done") {
      EXPECT_TRUE(run.file == payload);
    }
  }
  EXPECT_EQ(plain.Count("/setup.exe"), 0u) << "a refused redirect is never fetched";
  EXPECT_EQ(secure.Count("/loop10"), 1u);
  EXPECT_EQ(secure.Count("/loop11"), 0u);
}

TEST_F(DownloadProbe, AProxyAskingForBasicAuthenticationGetsTheLineAndNothingElse) {
  std::atomic<int> challenged{0};
  std::atomic<bool> credentialsSent{false};
  RawServer proxy([&](int socket, const std::atomic<bool>&) {
    const std::string head = ReadRequestHead(socket);
    if (head.empty()) return;
    if (head.find("Proxy-Authorization") != std::string::npos) credentialsSent = true;
    ++challenged;
    SendAll(socket, "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"corp\"\r\n"
                    "Content-Length: 0\r\nConnection: close\r\n\r\n");
  });
  ASSERT_TRUE(proxy.Start());
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  const ProbeRun run = RunProbe({"--url", "http://orv-behind-proxy.invalid/setup.exe", "--sha256"},
                                {{"http_proxy", "http://" + proxyAddress}});
  EXPECT_EQ(run.result.rfind("result=failed", 0), 0u) << run.output;
  EXPECT_GE(challenged.load(), 1) << "the request went through the proxy: " << run.output;
  EXPECT_FALSE(credentialsSent.load());
  EXPECT_TRUE(run.Logged("log ERROR Proxy " + proxyAddress +
                         " asks for authentication by Basic; only Negotiate and NTLM are answered, with the user's logon"))
      << run.output;
  EXPECT_TRUE(run.Logged("failed (HTTP status 407)")) << run.output;
}

}  // namespace
}  // namespace bed
