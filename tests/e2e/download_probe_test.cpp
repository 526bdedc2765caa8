// The stub's own download alone (tests/winhelpers/download_probe.exe) under Wine: the user's close,
// the bytes a mirror takes over, the redirect rule, the size limit against lying headers, a
// trickle below the rate. Pauses are shortened where the product's values
// would only make the tests slow. The stub's runs on bad networks are in download_network_test.cpp.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "stub_fixture.h"

namespace bed {
namespace {

constexpr size_t kMiB = 1024 * 1024;
const std::vector<std::string> kShortPauses = {"--pauses-ms", "100,300,1000"};


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

class DownloadProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BedReady(error)) << error;
  }
};

TEST_F(DownloadProbe, ClosingTheDialogEndsTheAttemptAtOnce) {
  const std::string payload = Payload(8 * kMiB);
  RangeFileServer server(payload, [](int) {
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
  RangeFileServer wrapper(payload, [](int connection) {
    Behaviour how{true, 4 * kMiB};
    if (connection > 0) how.status = 404;
    return how;
  });
  RangeFileServer mirror(payload, [](int) { return Behaviour{true, 0}; });
  ASSERT_TRUE(wrapper.Start());
  ASSERT_TRUE(mirror.Start());
  std::vector<std::string> args{"--url", wrapper.Url(), "--mirror", mirror.Url(), "--sha256"};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=8388608", 0), 0u) << run.output;
  EXPECT_TRUE(run.file == payload);
  EXPECT_TRUE(run.Logged("log ERROR Download attempt 2 of 20 failed (HTTP status 404)")) << run.output;
  EXPECT_TRUE(run.Logged("log INFO Trying mirror " + mirror.Url())) << run.output;
  // Wine 8 drops the bytes of a read that the reset cuts short (one read, at most 128 KiB): the
  // mirror gives the rest from where the file ends.
  const std::vector<std::string> ranges = mirror.Ranges();
  ASSERT_EQ(ranges.size(), 1u);
  const size_t resumedAt = std::stoull(ranges[0]);
  EXPECT_EQ(ranges[0], std::to_string(resumedAt) + "-");
  EXPECT_GE(resumedAt, 4 * kMiB - 128 * 1024);
  EXPECT_LE(resumedAt, 4 * kMiB);
  EXPECT_EQ(mirror.BodyBytesSent(), 8 * kMiB - resumedAt);
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

TEST_F(DownloadProbe, NoBytePastTheDocumentsSizeWhateverTheHeadersClaim) {
  const std::string body = Payload(4 * kMiB);
  std::string chunked;
  for (size_t at = 0; at < body.size(); at += 64 * 1024) {
    char size[16];
    std::snprintf(size, sizeof(size), "%x\r\n", 64 * 1024);
    chunked += size + body.substr(at, 64 * 1024) + "\r\n";
  }
  chunked += "0\r\n\r\n";
  struct Case {
    const char* name;
    std::string head;  // the answer's status line and headers, up to the blank line
    const std::string& sent;
  };
  const Case cases[] = {
      {"206 from 0 of an unknown whole, to the connection's end",
       "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99999999999/*\r\nConnection: close\r\n", body},
      {"206 from 0 of an unknown whole, chunked",
       "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99999999999/*\r\nTransfer-Encoding: chunked\r\n",
       chunked},
      {"200 without a length", "HTTP/1.1 200 OK\r\nConnection: close\r\n", body},
      {"200 chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", chunked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server([&](int socket, const std::atomic<bool>&) {
      if (ReadRequestHead(socket).empty()) return;
      SendAll(socket, c.head + "Content-Type: application/octet-stream\r\n\r\n" + c.sent);
    });
    ASSERT_TRUE(server.Start());
    const std::string url = "http://localhost:" + std::to_string(server.port()) + "/setup.exe";
    const ProbeRun run = RunProbe({"--url", url, "--sha256", "--size", "1000"});
    EXPECT_EQ(run.result.rfind("result=failed", 0), 0u) << run.output;
    EXPECT_TRUE(run.Logged("log ERROR Download attempt 1 of ") && run.Logged("(the file is larger than 1000 bytes)"))
        << run.output;
    EXPECT_LE(run.file.size(), 1000u) << "bytes past the document's size reached the file";
    EXPECT_TRUE(run.file == body.substr(0, run.file.size()));
    EXPECT_EQ(server.Connections(), 1) << "a file too large ends the address at once";
  }
}

TEST_F(DownloadProbe, ATrickleBelowTheRateIsGivenUpThoughItNeverFallsSilent) {
  const std::string payload = Payload(1 * kMiB);
  // The first connection trickles 4 KiB every 1.5 s (the rule's minute shortened to 2 s: far below
  // 64 KiB in it, yet never silent as long) for 18 s; the next ones give the rest at once.
  RangeFileServer server(payload, [](int connection) {
    Behaviour how{true, 0};
    if (connection == 0) {
      how.resetAfter = 48 * 1024;
      how.pieceBytes = 4 * 1024;
      how.pieceMs = 1500;
    }
    return how;
  });
  ASSERT_TRUE(server.Start());
  std::vector<std::string> args{"--url", server.Url(), "--window-ms", "2000"};
  args.insert(args.end(), kShortPauses.begin(), kShortPauses.end());
  const ProbeRun run = RunProbe(args);
  EXPECT_EQ(run.result.rfind("result=done size=1048576", 0), 0u) << run.output;
  EXPECT_TRUE(run.file == payload);
  EXPECT_TRUE(run.Logged("log WARNING Download attempt 1 of 20 broke off at ") &&
              run.Logged(" of 1048576 bytes (less than 65536 bytes in 2 s). Trying again in 0.1 s"))
      << run.output;
  const std::vector<std::string> ranges = server.Ranges();
  ASSERT_EQ(ranges.size(), 2u) << run.output;
  EXPECT_NE(ranges[1], "") << "the second attempt resumes after the trickled bytes";
}

}  // namespace
}  // namespace bed
