// The demo's local servers: the configuration document (HTTPS), the demo installer (HTTP, sent
// slowly enough that the progress bar can be watched), the analytics endpoint (HTTPS) and the
// cancellation page (HTTP), each on a port the system picks. Prints every request it receives;
// runs until it is stopped.
//   orv_demo_server --installer FILE [--version TEXT] [--shortcut true|false] [--rate KIB_PER_S]
//                   [--document-out FILE]
// --document-out: the document (with the keys a signed stub requires) is also written to FILE,
// for the publisher's tool to sign, and /orv.json.sig serves FILE.sig as it is when asked.
// ORV_TESTBED_CERTS names the certificate folder (the test CA must be trusted in the prefix).
// Once it serves, it prints "[demo server] ready: ..." and, on the next line, the endpoints as
// "[demo server] endpoints CONFIG_URL ANALYTICS_HOST CANCEL_PAGE_BASE".
#include <openssl/evp.h>

#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "servers.h"
#include "wine.h"

#include <zlib.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

void Print(const char* server, const httplib::Request& request) {
  std::printf("[demo server] %s %s %s\n", server, request.method.c_str(), request.target.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string installerPath;
  std::string version = "4.1.674";
  bool shortcut = true;
  size_t rate = 256 * 1024;
  std::string documentOut;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--installer")) installerPath = argv[i + 1];
    else if (!std::strcmp(argv[i], "--version")) version = argv[i + 1];
    else if (!std::strcmp(argv[i], "--shortcut")) shortcut = !std::strcmp(argv[i + 1], "true");
    else if (!std::strcmp(argv[i], "--rate")) rate = std::strtoul(argv[i + 1], nullptr, 10) * 1024;
    else if (!std::strcmp(argv[i], "--document-out")) documentOut = argv[i + 1];
  }
  std::ifstream file(installerPath, std::ios::binary);
  if (installerPath.empty() || !file) {
    std::fprintf(stderr, "usage: orv_demo_server --installer FILE [--version TEXT] [--shortcut true|false]\n");
    return 2;
  }
  std::ostringstream content;
  content << file.rdbuf();
  const std::string installer = content.str();
  const unsigned long checksum =
      crc32(0L, reinterpret_cast<const Bytef*>(installer.data()), static_cast<uInt>(installer.size()));
  // The installer is served over plain http, which the stub accepts only with its SHA-256.
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  EVP_Digest(installer.data(), installer.size(), digest, &digestSize, EVP_sha256(), nullptr);
  std::string sha256;
  for (unsigned int i = 0; i < digestSize; ++i) {
    static const char kDigits[] = "0123456789abcdef";
    sha256 += kDigits[digest[i] >> 4];
    sha256 += kDigits[digest[i] & 15];
  }
  // Written once the files server's port is known, before the first request can come.
  std::mutex configMutex;
  std::string config;

  bed::TestServer configServer(bed::CertKind::Trusted);
  configServer.server().Get("/orv.json", [&](const httplib::Request& request, httplib::Response& response) {
    Print("configuration", request);
    std::lock_guard<std::mutex> lock(configMutex);
    response.set_content(config, "application/json");
  });
  configServer.server().Get("/orv.json.sig", [&](const httplib::Request& request, httplib::Response& response) {
    Print("configuration", request);
    std::ifstream signature(documentOut + ".sig", std::ios::binary);
    if (documentOut.empty() || !signature) {
      response.status = 404;
      return;
    }
    std::ostringstream bytes;
    bytes << signature.rdbuf();
    response.set_content(bytes.str(), "text/plain");
  });
  bed::TestServer files;
  files.server().Get("/OrvandelInstaller.exe", [&](const httplib::Request& request, httplib::Response& response) {
    Print("installer", request);
    const size_t piece = rate / 10 > 0 ? rate / 10 : 1;
    response.set_content_provider(installer.size(), "application/octet-stream",
                                  [&installer, piece](size_t offset, size_t length, httplib::DataSink& sink) {
                                    const size_t n = std::min(piece, length);
                                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                    return sink.write(installer.data() + offset, n);
                                  });
  });
  bed::TestServer analytics(bed::CertKind::Trusted);
  analytics.server().Get("/piwik.php", [](const httplib::Request& request, httplib::Response& response) {
    Print("analytics", request);
    response.status = 204;
  });
  bed::TestServer cancelPage;
  cancelPage.server().Get(R"(/installation-cancelled/.*)",
                          [](const httplib::Request& request, httplib::Response& response) {
                            Print("cancellation page", request);
                            response.set_content("<html><body>Installation cancelled</body></html>", "text/html");
                          });
  if (!configServer.Start() || !files.Start() || !analytics.Start() || !cancelPage.Start()) {
    std::fprintf(stderr, "orv_demo_server: cannot listen on local ports\n");
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(configMutex);
    config = std::string("{\n  // Served by the demo server\n  \"shortcut\": ") + (shortcut ? "true" : "false") +
             ",\n  \"wrapper\": \"http://localhost:" + std::to_string(files.port()) +
             "/OrvandelInstaller.exe\",\n  \"checksum\": " + std::to_string(checksum) + ",\n  \"version\": \"" +
             version + "\",\n  \"sha256\": \"" + sha256 + "\",\n  \"size\": " + std::to_string(installer.size());
    if (!documentOut.empty()) {
      // What a signed stub requires: the product, a serial and an expiry (30 days from now).
      const std::time_t expires = std::time(nullptr) + 30 * 86400;
      char expiry[32];
      std::strftime(expiry, sizeof(expiry), "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&expires));
      config += std::string(",\n  \"product\": \"Orvandel\",\n  \"serial\": 1,\n  \"expires\": \"") + expiry + "\"";
      std::ofstream out(documentOut, std::ios::binary | std::ios::trunc);
      out << config << "\n}\n";
      if (!out.flush()) {
        std::fprintf(stderr, "orv_demo_server: cannot write %s\n", documentOut.c_str());
        return 1;
      }
    }
    config += "\n}\n";
  }
  std::printf("[demo server] ready: installer %zu bytes, CRC-32 %lu, version %s\n", installer.size(), checksum,
              version.c_str());
  std::printf("[demo server] endpoints https://localhost:%d/orv.json localhost:%d "
              "http://localhost:%d/installation-cancelled/?v=\n",
              configServer.port(), analytics.port(), cancelPage.port());
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return 0;
}
