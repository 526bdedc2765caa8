// The HTTP client over real WinHTTP under Wine, driven through tests/winhelpers/http_probe.cpp
// against local servers: verbs, URL parts, certificates, retries of cut-off pages, decoding,
// header values, proxies and hostile servers.
#include <gtest/gtest.h>
#include <poll.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "servers.h"
#include "wine.h"

namespace bed {
namespace {

using Json = nlohmann::json;

// Time-outs short enough that three attempts against a silent server end quickly.
const std::vector<std::string> kShortTimeouts = {"--timeouts", "0,2000,2000,2000"};

// Runs the probe with args; the report is its JSON output.
bool RunProbe(std::vector<std::string> args, Json& report, std::string& error, int timeoutMs = 120000) {
  const ProcessResult result = RunWine("http_probe.exe", args, timeoutMs);
  if (result.timedOut) {
    error = "http_probe timed out";
    return false;
  }
  const size_t start = result.out.find('{');
  if (result.status != 0 || start == std::string::npos) {
    error = "http_probe exit " + std::to_string(result.status) + ": " + result.out + result.err;
    return false;
  }
  report = Json::parse(result.out.substr(start), nullptr, false);
  if (report.is_discarded() || !report.contains("runs")) {
    error = "unreadable report: " + result.out;
    return false;
  }
  return true;
}

// The report without the bulky fields, for failure messages.
std::string Brief(const Json& report) {
  Json copy = report;
  for (Json& run : copy["runs"]) {
    run.erase("bodyHex");
    if (run["responseText"].get<std::string>().size() > 200) run["responseText"] = "...";
    if (run["responseHeaders"].get<std::string>().size() > 400) run["responseHeaders"] = "...";
  }
  return copy.dump();
}

class HttpClientWine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BedReady(error)) << error;
  }

  // Starts a plain HTTP (or HTTPS with kind) server; routes are added by configure.
  TestServer& Serve(const std::function<void(httplib::Server&)>& configure, bool https = false,
                    CertKind kind = CertKind::Trusted) {
    server_.reset();
    server_ = https ? std::make_unique<TestServer>(kind) : std::make_unique<TestServer>();
    configure(server_->server());
    EXPECT_TRUE(server_->Start()) << "test server";
    return *server_;
  }

  // The address of path on port, or on the server of the last Serve() when port is 0.
  std::string LocalUrl(const std::string& path, bool https = false, int port = 0) const {
    if (port == 0) port = server_ ? server_->port() : RefusedPort();
    return std::string(https ? "https" : "http") + "://localhost:" + std::to_string(port) + path;
  }

  std::unique_ptr<TestServer> server_;
};

void Text(httplib::Server& server, const std::string& path, const std::string& body,
          const std::string& type = "text/plain", int status = 200) {
  server.Get(path, [=](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_content(body, type.c_str());
  });
  server.Post(path, [=](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_content(body, type.c_str());
  });
}

TEST_F(HttpClientWine, VerbsAndUrls) {
  TestServer& server = Serve([](httplib::Server& s) {
    s.Get("/v", [](const httplib::Request&, httplib::Response& response) { response.set_content("ok", "text/plain"); });
    s.Post("/v", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("posted " + request.get_header_value("Content-Length") + ":" + request.body, "text/plain");
    });
  });
  Json report;
  std::string error;

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/v?a=1&b=two"), "--verb", "get"}, report, error)) << error;
  const Json& get = report["runs"][0];
  EXPECT_TRUE(get["result"]) << Brief(report);
  EXPECT_EQ(get["statusCode"], "200");
  EXPECT_EQ(get["host"], "localhost");
  EXPECT_EQ(get["responseText"], "ok");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].method, "GET");
  EXPECT_EQ(server.Requests()[0].target, "/v?a=1&b=two") << "the query is part of the object name";
  EXPECT_EQ(server.Requests()[0].Header("User-Agent"), "OrvandelSetup");

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/v"), "--verb", "pOsT", "--post-data", "x=1&y=2"}, report, error))
      << error;
  EXPECT_TRUE(report["runs"][0]["result"]) << Brief(report);
  EXPECT_EQ(report["runs"][0]["responseText"], "posted 7:x=1&y=2") << "the length is announced in the send";
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].method, "POST");

  // Refused before any network activity: no session, no request.
  struct Refused {
    std::string url;
    std::string verb;
    unsigned lastError;
  };
  const Refused refused[] = {
      {LocalUrl("/v"), "PUT", 87}, {LocalUrl("/v"), "", 87}, {LocalUrl("/v"), "GETS", 87}, {"", "GET", 3}};
  for (const Refused& c : refused) {
    ASSERT_TRUE(RunProbe({"--url", c.url, "--verb", c.verb}, report, error)) << error;
    const Json& run = report["runs"][0];
    EXPECT_FALSE(run["result"]) << c.verb << " " << c.url;
    EXPECT_EQ(run["lastError"], c.lastError) << c.verb << " " << c.url;
    EXPECT_FALSE(run["hasSession"]) << c.verb << " " << c.url;
  }
  EXPECT_EQ(server.Requests().size(), 2u);

  // A host or path that does not fit its buffer cannot be split: false, lastError unchanged.
  const std::string longHost = "http://" + std::string(300, 'h') + ".invalid/";
  const std::string longPath = LocalUrl("/" + std::string(1400, 'p'));
  for (const std::string& url : {longHost, longPath}) {
    ASSERT_TRUE(RunProbe({"--url", url}, report, error)) << error;
    EXPECT_FALSE(report["runs"][0]["result"]) << url.size();
    EXPECT_EQ(report["runs"][0]["lastError"], 0) << url.size();
  }
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(HttpClientWine, CertificatesLenientAndStrict) {
  struct Case {
    CertKind kind;
    const char* name;
    bool strictAccepts;
  };
  const Case cases[] = {{CertKind::SelfSigned, "self-signed", false},
                        {CertKind::Expired, "expired", false},
                        {CertKind::WrongName, "wrong name", false},
                        {CertKind::Trusted, "test CA", true}};
  for (const Case& c : cases) {
    for (const bool strict : {false, true}) {
      TestServer& server = Serve([](httplib::Server& s) { Text(s, "/c", "secure"); }, true, c.kind);
      std::vector<std::string> args{"--url", LocalUrl("/c", true)};
      if (strict) args.push_back("--strict");
      Json report;
      std::string error;
      ASSERT_TRUE(RunProbe(args, report, error)) << error;
      const Json& run = report["runs"][0];
      const bool accepted = !strict || c.strictAccepts;
      EXPECT_EQ(run["result"], accepted) << c.name << (strict ? " strict " : " lenient ") << Brief(report);
      EXPECT_EQ(server.Count("/c"), accepted ? 1u : 0u) << c.name << (strict ? " strict" : " lenient");
      if (accepted) {
        EXPECT_EQ(run["responseText"], "secure") << c.name;
      } else {
        EXPECT_NE(run["lastError"], 0) << c.name;
      }
    }
  }
}

TEST_F(HttpClientWine, CutOffPagesAreFetchedThreeTimes) {
  TestServer& server = Serve([](httplib::Server& s) {
    Text(s, "/cut", "<HTML><body>half", "text/html");
    Text(s, "/whole", "<html><body>all</HTML>", "text/html");
    Text(s, "/none", "no markup at all", "text/html");
  });
  struct Case {
    const char* path;
    const char* verb;
    bool result;
    unsigned lastError;
    size_t fetches;
  };
  const Case cases[] = {{"/cut", "GET", false, 13, 3},
                        {"/whole", "GET", true, 0, 1},
                        {"/none", "GET", true, 0, 1},
                        {"/cut", "POST", true, 0, 1}};
  size_t before = 0;
  for (const Case& c : cases) {
    Json report;
    std::string error;
    ASSERT_TRUE(RunProbe({"--url", LocalUrl(c.path), "--verb", c.verb}, report, error)) << error;
    const Json& run = report["runs"][0];
    EXPECT_EQ(run["result"], c.result) << c.verb << " " << c.path;
    EXPECT_EQ(run["lastError"], c.lastError) << c.verb << " " << c.path;
    const size_t total = server.Requests().size();
    EXPECT_EQ(total - before, c.fetches) << c.verb << " " << c.path;
    before = total;
  }
}

TEST_F(HttpClientWine, StatusEmptyBodyAndBufferBoundary) {
  const std::string exact = std::string(10239, 'A') + "Z";
  Serve([&](httplib::Server& s) {
    Text(s, "/missing", "not here", "text/plain", 404);
    Text(s, "/empty", "");
    Text(s, "/exact", exact);
  });
  Json report;
  std::string error;
  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/missing")}, report, error)) << error;
  EXPECT_TRUE(report["runs"][0]["result"]);
  EXPECT_EQ(report["runs"][0]["statusCode"], "404");
  EXPECT_EQ(report["runs"][0]["responseText"], "not here");

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/empty")}, report, error)) << error;
  EXPECT_TRUE(report["runs"][0]["result"]);
  EXPECT_EQ(report["runs"][0]["responseText"], "");
  EXPECT_EQ(report["runs"][0]["bodyLength"], 0);

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/exact")}, report, error)) << error;
  const Json& run = report["runs"][0];
  EXPECT_TRUE(run["result"]);
  EXPECT_EQ(run["bodyLength"], 10240);
  EXPECT_EQ(run["bodyCapacity"], 20480) << "doubled so that a zero byte follows the data";
  EXPECT_TRUE(run["bodyZeroAfterData"]);
  EXPECT_EQ(run["responseText"], exact);
}

TEST_F(HttpClientWine, CharsetSelectsTheDecoding) {
  const std::string utf8Body = "h\xc3\xa9llo \xe6\x97\xa5\xe6\x9c\xac";
  // The same bytes read with code page 1252, the test prefix's ANSI code page.
  const std::string asAnsi = "h\xc3\x83\xc2\xa9llo \xc3\xa6\xe2\x80\x94\xc2\xa5\xc3\xa6\xc5\x93\xc2\xac";
  auto flips = std::make_shared<std::atomic<int>>(0);
  Serve([&](httplib::Server& s) {
    Text(s, "/upper", utf8Body, "text/plain; charset=UTF-8");
    Text(s, "/lower", utf8Body, "text/plain; charset=utf-8");
    Text(s, "/mixed", utf8Body, "text/html; CharSet=Utf-8");
    Text(s, "/none", utf8Body, "text/plain");
    Text(s, "/latin", utf8Body, "text/plain; charset=iso-8859-1");
    // First UTF-8, then another charset.
    s.Get("/flip", [=](const httplib::Request&, httplib::Response& response) {
      response.set_content(utf8Body, (*flips)++ == 0 ? "text/plain; charset=UTF-8" : "text/plain; charset=iso-8859-1");
    });
  });
  Json report;
  std::string error;
  struct Case {
    const char* path;
    const char* charset;
    std::string text;
  };
  const Case cases[] = {{"/upper", "UTF-8", utf8Body},
                        {"/lower", "utf-8", utf8Body},
                        {"/mixed", "Utf-8", utf8Body},
                        {"/none", "", asAnsi},
                        {"/latin", "iso-8859-1", asAnsi}};
  for (const Case& c : cases) {
    ASSERT_TRUE(RunProbe({"--url", LocalUrl(c.path)}, report, error)) << error;
    ASSERT_EQ(report["ansiCodePage"], 1252);
    EXPECT_EQ(report["runs"][0]["charset"], c.charset) << c.path;
    EXPECT_EQ(report["runs"][0]["responseText"], c.text) << c.path;
  }

  // forceCharset from the start: the header is ignored and the ANSI code page decodes.
  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/upper"), "--force-charset"}, report, error)) << error;
  EXPECT_EQ(report["runs"][0]["charset"], "");
  EXPECT_EQ(report["runs"][0]["responseText"], asAnsi);

  // Set after a first request: the charset keeps the first response's value.
  for (const bool force : {true, false}) {
    *flips = 0;
    std::vector<std::string> args{"--url", LocalUrl("/flip"), "--repeat", "2"};
    if (force) args.push_back("--force-charset-after-first");
    ASSERT_TRUE(RunProbe(args, report, error)) << error;
    EXPECT_EQ(report["runs"][0]["charset"], "UTF-8");
    EXPECT_EQ(report["runs"][1]["charset"], force ? "UTF-8" : "iso-8859-1") << force;
    EXPECT_EQ(report["runs"][1]["responseText"], force ? utf8Body : asAnsi) << force;
  }
}

TEST_F(HttpClientWine, HeaderValuesProgressAndCookies) {
  const std::string big(300000, 'b');
  Serve([&](httplib::Server& s) {
    Text(s, "/big", big);
    s.Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
        if (offset < 30000) {
          const std::string piece(10000, 'c');
          sink.write(piece.data(), piece.size());
        } else {
          sink.done();
        }
        return true;
      });
    });
    s.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Location", "http://localhost/elsewhere");
      response.set_content("m", "text/plain");
    });
    s.Get("/numbered", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Location", "302/next");
      response.set_content("n", "text/plain");
    });
    s.Get("/cookies", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Set-Cookie", "a=1");
      response.set_header("Set-Cookie", "b=2");
      response.set_header("Set-Cookie", "A=1");
      response.set_content("k", "text/plain");
    });
    s.Get("/echo", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(request.get_header_value("X-Extra") + "|" + request.get_header_value("Cookie"),
                           "text/plain");
    });
  });
  Json report;
  std::string error;

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/big"), "--progress"}, report, error)) << error;
  const Json& big1 = report["runs"][0];
  EXPECT_EQ(big1["contentLength"], 300000);
  const std::vector<double> progress = big1["progress"];
  ASSERT_GE(progress.size(), 3u) << Brief(report);
  EXPECT_EQ(progress.front(), 0.0);
  EXPECT_EQ(progress.back(), 100.0);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << Brief(report);

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/chunked"), "--progress"}, report, error)) << error;
  EXPECT_TRUE(report["runs"][0]["result"]);
  EXPECT_EQ(report["runs"][0]["bodyLength"], 30000);
  EXPECT_EQ(report["runs"][0]["contentLength"], 0);
  EXPECT_TRUE(report["runs"][0]["progress"].empty()) << "no Content-Length, no percentage";

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/moved")}, report, error)) << error;
  EXPECT_EQ(report["runs"][0]["location"], "");
  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/numbered")}, report, error)) << error;
  EXPECT_EQ(report["runs"][0]["location"], "302");

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/cookies"), "--repeat", "2"}, report, error)) << error;
  EXPECT_EQ(report["runs"][0]["responseCookies"], "a=1; b=2;");
  EXPECT_EQ(report["runs"][1]["responseCookies"], "a=1; b=2;a=1; b=2;");

  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/echo"), "--header", "X-Extra: one", "--cookies", "k=v; w=x"}, report,
                       error))
      << error;
  EXPECT_EQ(report["runs"][0]["responseText"], "one|k=v; w=x");
}

// Writes the user's connection settings as Internet Explorer keeps them (the record that
// WinHttpGetIEProxyConfigForCurrentUser reads) and restores direct access when destroyed.
class UserProxySettings {
 public:
  UserProxySettings(uint32_t flags, const std::string& proxy, const std::string& scriptUrl) {
    ok_ = Write(flags, proxy, scriptUrl);
  }
  ~UserProxySettings() { Write(1, "", ""); }
  bool ok() const { return ok_; }

 private:
  static bool Write(uint32_t flags, const std::string& proxy, const std::string& scriptUrl) {
    std::string bytes;
    auto put = [&bytes](uint32_t value) {
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(0x46);
    put(1);
    put(flags);
    for (const std::string* text : {&proxy, static_cast<const std::string*>(nullptr), &scriptUrl}) {
      const std::string value = text ? *text : "";
      put(static_cast<uint32_t>(value.size()));
      bytes += value;
    }
    bytes += std::string(32, '\0');
    std::string hex;
    char digits[3];
    for (const char c : bytes) {
      std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
      hex += digits;
    }
    const ProcessResult result = RunProcess(
        {GetBed().wine, "reg", "add", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections",
         "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d", hex, "/f"},
        60000, {{"WINEDEBUG", "-all"}});
    return result.status == 0;
  }
  bool ok_ = false;
};

TEST_F(HttpClientWine, ExplicitProxy) {
  TestProxy proxy;
  ASSERT_TRUE(proxy.Start());
  // Inside the tunnel Wine 8 sends the absolute URL as the request target; Windows sends the path.
  TestServer& server = Serve(
      [](httplib::Server& s) {
        s.Get(".*", [](const httplib::Request&, httplib::Response& response) {
          response.set_content("through", "text/plain");
        });
      },
      true, CertKind::Trusted);
  Json report;
  std::string error;
  // Not "localhost": Wine 8 skips the CONNECT when the proxy's host name equals the server's.
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/p", true), "--strict", "--proxy", proxyAddress}, report, error)) << error;
  EXPECT_TRUE(report["runs"][0]["result"]) << Brief(report);
  EXPECT_EQ(report["runs"][0]["responseText"], "through") << Brief(report);
  EXPECT_EQ(proxy.RequestLines(), std::vector<std::string>{"CONNECT localhost:" + std::to_string(server.port())});
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string target = server.Requests()[0].target;
  EXPECT_TRUE(target == "/p" || target == LocalUrl("/p", true)) << target;

  // A proxy list longer than 260 characters is passed whole: its first entry is used.
  std::string list = proxyAddress;
  while (list.size() < 400) list += ";spare" + std::to_string(list.size()) + ".invalid:1";
  ASSERT_TRUE(RunProbe({"--url", LocalUrl("/p", true), "--proxy", list}, report, error)) << error;
  EXPECT_TRUE(report["runs"][0]["result"]) << Brief(report);
  EXPECT_EQ(proxy.RequestLines().size(), 2u);
}

// The user's settings are consulted after a failed send, and the retry goes through the proxy
// they name. What every platform guarantees: the script is fetched, and the request ends in
// bounded time either through the proxy (Windows: the answer of the server behind it) or not at
// all. Wine 8 evaluates the script and accepts the proxy option on the request but does not route
// the request through it ("fixme:winhttp:request_set_option"): there the retry goes direct and
// fails at name resolution (12007).
TEST_F(HttpClientWine, ProxyDiscoveryFromTheUserSettings) {
  TestProxy proxy;
  ASSERT_TRUE(proxy.Start());
  TestServer pac;
  const int proxyPort = proxy.port();
  pac.server().Get("/proxy.pac", [proxyPort](const httplib::Request&, httplib::Response& response) {
    response.set_content("function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:" +
                             std::to_string(proxyPort) + "\"; }",
                         "application/x-ns-proxy-autoconfig");
  });
  ASSERT_TRUE(pac.Start());
  TestServer& behind = Serve([](httplib::Server& s) { Text(s, "/d", "through the proxy"); });
  // Only the proxy can reach this host (it connects to the port on this machine): a direct send
  // fails at name resolution.
  const std::string url = "http://orv-proxy-only.invalid:" + std::to_string(behind.port()) + "/d";
  struct Case {
    const char* name;
    uint32_t flags;
    std::string proxy;
    std::string script;
  };
  const Case cases[] = {
      {"script", 1 | 4, "", "http://127.0.0.1:" + std::to_string(pac.port()) + "/proxy.pac"},
      {"named proxy", 1 | 2, "127.0.0.1:" + std::to_string(proxy.port()), ""},
  };
  for (const Case& c : cases) {
    UserProxySettings settings(c.flags, c.proxy, c.script);
    ASSERT_TRUE(settings.ok()) << c.name;
    const size_t linesBefore = proxy.RequestLines().size();
    Json report;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunProbe({"--url", url, "--timeouts", "0,2000,2000,2000"}, report, error)) << c.name << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << c.name;
    if (!c.script.empty()) EXPECT_GE(pac.Count("/proxy.pac"), 1u) << "the script named by the settings is fetched";
    const Json& run = report["runs"][0];
    if (proxy.RequestLines().size() > linesBefore) {
      EXPECT_EQ(proxy.RequestLines().back(), "GET " + url) << c.name;
      EXPECT_TRUE(run["result"]) << c.name << " " << Brief(report);
      EXPECT_EQ(run["responseText"], "through the proxy") << c.name << " " << Brief(report);
    } else {
      EXPECT_FALSE(run["result"]) << c.name << " " << Brief(report);
      EXPECT_EQ(run["lastError"], 12007) << c.name << ": name not resolved, the retry went direct";
      EXPECT_EQ(behind.Requests().size(), 0u) << c.name;
    }
  }
}

// Redirects are followed by the stub's own rule: within https, at most 10 in a row, never down to
// plain http (the configuration fetch has no SHA-256 to check what such a page gives).
TEST_F(HttpClientWine, RedirectsFollowTheStubsRule) {
  TestServer plain;
  plain.server().Get("/orv.json", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("{}", "application/json");
  });
  ASSERT_TRUE(plain.Start());
  const std::string plainUrl = "http://localhost:" + std::to_string(plain.port()) + "/orv.json";
  Serve(
      [&](httplib::Server& s) {
        s.Get("/down", [&](const httplib::Request&, httplib::Response& r) { r.set_redirect(plainUrl.c_str(), 302); });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/here.json", 301); });
        Text(s, "/here.json", "here");
        s.Get(R"(/loop(\d+))", [](const httplib::Request& q, httplib::Response& r) {
          r.set_redirect(("/loop" + std::to_string(std::stoi(q.matches[1]) + 1)).c_str(), 307);
        });
      },
      true, CertKind::Trusted);
  struct Case {
    const char* path;
    bool result;
    unsigned lastError;
    std::string detail;
    const char* text;
  };
  const Case cases[] = {
      {"/down", false, 12156, "redirect to " + plainUrl + " refused: a redirect from https to http", ""},
      {"/moved", true, 0, "", "here"},
      {"/loop0", false, 12156, "redirect to /loop11 refused: more than 10 redirects", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Json report;
    std::string error;
    ASSERT_TRUE(RunProbe({"--url", LocalUrl(c.path, true), "--strict"}, report, error)) << error;
    const Json& run = report["runs"][0];
    EXPECT_EQ(run["result"], c.result) << Brief(report);
    if (!c.result) {
      EXPECT_EQ(run["lastError"], c.lastError) << Brief(report);
    }
    EXPECT_EQ(run["failureDetail"], c.detail) << Brief(report);
    if (c.result) {
      EXPECT_EQ(run["responseText"], c.text) << Brief(report);
    }
  }
  EXPECT_EQ(plain.Count("/orv.json"), 0u) << "the refused redirect was not fetched";
}

// A proxy asking for a password ends the exchange with a line that names it and its schemes;
// nothing but the user's own logon (Negotiate, NTLM) is ever offered to a proxy.
TEST_F(HttpClientWine, AProxyAskingForBasicAuthenticationEndsTheExchange) {
  std::atomic<bool> credentialsSent{false};
  RawServer proxy([&](int socket, const std::atomic<bool>&) {
    const std::string head = ReadRequestHead(socket);
    if (head.find("Proxy-Authorization") != std::string::npos) credentialsSent = true;
    SendAll(socket, "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"corp\"\r\n"
                    "Proxy-Authenticate: Digest realm=\"corp\", nonce=\"1\"\r\nContent-Length: 0\r\n\r\n");
  });
  ASSERT_TRUE(proxy.Start());
  const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
  Json report;
  std::string error;
  ASSERT_TRUE(RunProbe({"--url", "http://orv-behind-proxy.invalid/orv.json", "--proxy", address}, report, error)) << error;
  const Json& run = report["runs"][0];
  EXPECT_FALSE(run["result"]) << Brief(report);
  EXPECT_EQ(run["lastError"], 12015) << Brief(report);
  EXPECT_EQ(run["failureDetail"], "Proxy " + address + " asks for authentication by Basic, Digest; only Negotiate and "
                                  "NTLM are answered, with the user's logon") << Brief(report);
  EXPECT_FALSE(credentialsSent.load());
}

// Servers that break the protocol: each request ends false in bounded time and memory.
TEST_F(HttpClientWine, HostileServers) {
  struct Case {
    const char* name;
    RawServer::Handler handler;
    unsigned lastError;  // 0: any non-zero error
    int connections;     // expected connections, or 0 for any (Wine reuses a timed-out one)
    int minimumMs;       // three attempts that each wait out a time-out take at least this
  };
  auto silentUntilStopped = [](const std::atomic<bool>& stopping) {
    while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  };
  const Case cases[] = {
      {"endless body",
       [](int socket, const std::atomic<bool>& stopping) {
         ReadRequestHead(socket);
         if (!SendAll(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n")) return;
         const std::string block(65536, 'e');
         while (!stopping && SendAll(socket, block)) {
         }
       },
       8, 1, 0},
      {"10 MiB header block",
       [](int socket, const std::atomic<bool>& stopping) {
         ReadRequestHead(socket);
         if (!SendAll(socket, "HTTP/1.1 200 OK\r\n")) return;
         const std::string line = "X-Filler: " + std::string(1014, 'f') + "\r\n";
         for (int i = 0; i < 10 * 1024 && !stopping; ++i) {
           if (!SendAll(socket, line)) return;
         }
         SendAll(socket, "Content-Length: 2\r\n\r\nok");
       },
       12182, 0, 0},
      {"close mid-body",
       [](int socket, const std::atomic<bool>&) {
         ReadRequestHead(socket);
         SendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'q'));
       },
       12030, 3, 0},
      {"never answers",
       [=](int socket, const std::atomic<bool>& stopping) {
         ReadRequestHead(socket);
         silentUntilStopped(stopping);
       },
       0, 0, 5500},
      {"stops mid-body",
       [=](int socket, const std::atomic<bool>& stopping) {
         ReadRequestHead(socket);
         SendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
         silentUntilStopped(stopping);
       },
       0, 0, 5500},
  };
  for (const Case& c : cases) {
    RawServer server(c.handler);
    ASSERT_TRUE(server.Start()) << c.name;
    std::vector<std::string> args{"--url", LocalUrl("/h", false, server.port())};
    args.insert(args.end(), kShortTimeouts.begin(), kShortTimeouts.end());
    Json report;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunProbe(args, report, error, 90000)) << c.name << ": " << error;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    server.Stop();
    const Json& run = report["runs"][0];
    EXPECT_FALSE(run["result"]) << c.name << " " << Brief(report);
    if (c.lastError != 0) {
      EXPECT_EQ(run["lastError"], c.lastError) << c.name;
    } else {
      EXPECT_NE(run["lastError"], 0) << c.name;
    }
    if (c.connections != 0) EXPECT_EQ(server.Connections(), c.connections) << c.name;
    EXPECT_GE(run["elapsedMs"].get<int>(), c.minimumMs) << c.name;
    EXPECT_LT(seconds.count(), 30) << c.name;
    EXPECT_LT(report["peakPagefileBytes"].get<uint64_t>(), 160u * 1024 * 1024) << c.name;
  }
}

}  // namespace
}  // namespace bed
