#pragma once
// Shared set-up of the end-to-end tests: a clean log, temporary folder and desktop before every
// test, and builders for the usual servers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "servers.h"
#include "stub_run.h"
#include "wine.h"

namespace bed {

inline constexpr char kShortcutName[] = "Continue installation.lnk";
inline constexpr char kCopyName[] = "orvdl_setup.exe";

// CRC-32 of bytes, as the configuration states it.
inline uint32_t Crc32Of(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A configuration document with the four keys.
inline std::string ConfigJson(bool shortcut, const std::string& wrapper, uint64_t checksum,
                              const std::string& version) {
  return std::string("{\"shortcut\": ") + (shortcut ? "true" : "false") + ", \"wrapper\": \"" + wrapper +
         "\", \"checksum\": " + std::to_string(checksum) + ", \"version\": \"" + version + "\"}";
}

class StubTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BedReady(error)) << error;
    ClearLog();
    for (const std::string& name : ListFiles(TempDir(), "orv")) RemoveFile(TempDir() + "/" + name);
    RemoveFile(DesktopDir() + "/" + kShortcutName);
    NextStubEndpoints() = {};
    RenewFiles();
  }

  // A files server of its own for what follows: bound at once, so that FilesUrl() can name it
  // before its routes are set, and refusing connections until ServeFile() starts it.
  void RenewFiles() {
    files_ = std::make_unique<TestServer>();
    ASSERT_TRUE(files_->Bind()) << "files server";
  }

  // The address under which the files server offers path.
  std::string FilesUrl(const std::string& path) const {
    return "http://localhost:" + std::to_string(files_->port()) + path;
  }

  // Starts a configuration server (HTTPS) answering body at /orv.json; the next run uses it.
  TestServer& ServeConfig(const std::string& body, CertKind kind = CertKind::Trusted,
                          const std::string& contentType = "application/json") {
    config_ = std::make_unique<TestServer>(kind);
    config_->server().Get("/orv.json", [body, contentType](const httplib::Request&, httplib::Response& response) {
      response.set_content(body, contentType.c_str());
    });
    EXPECT_TRUE(config_->Start()) << "configuration server";
    NextStubEndpoints().configPort = config_->port();
    return *config_;
  }

  // Starts the files server (plain HTTP) offering bytes at path; once per RenewFiles().
  TestServer& ServeFile(const std::string& path, const std::string& bytes) {
    EXPECT_FALSE(files_->started()) << "the files server serves once: RenewFiles() first";
    files_->server().Get(path, [bytes](const httplib::Request&, httplib::Response& response) {
      response.set_content(bytes, "application/octet-stream");
    });
    EXPECT_TRUE(files_->Start()) << "files server";
    return *files_;
  }

  std::unique_ptr<TestServer> config_;
  std::unique_ptr<TestServer> files_;
};

}  // namespace bed
