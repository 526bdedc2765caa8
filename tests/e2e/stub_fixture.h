#pragma once
// Shared set-up of the end-to-end tests: a clean log, temporary folder and desktop before every
// test, and builders for the usual servers.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

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

// SHA-256 of bytes as 64 lower-case hexadecimal digits, as the configuration states it
// (computed by OpenSSL, apart from the stub's own code).
inline std::string Sha256HexOf(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr), 1);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

// A configuration document with the four keys, and "sha256" when sha256 is not empty.
inline std::string ConfigJson(bool shortcut, const std::string& wrapper, uint64_t checksum,
                              const std::string& version, const std::string& sha256 = "") {
  return std::string("{\"shortcut\": ") + (shortcut ? "true" : "false") + ", \"wrapper\": \"" + wrapper +
         "\", \"checksum\": " + std::to_string(checksum) + ", \"version\": \"" + version + "\"" +
         (sha256.empty() ? "" : ", \"sha256\": \"" + sha256 + "\"") + "}";
}

// A configuration document for the installer bytes at wrapper: its CRC-32 and SHA-256.
inline std::string ConfigFor(bool shortcut, const std::string& wrapper, const std::string& bytes,
                             const std::string& version) {
  return ConfigJson(shortcut, wrapper, Crc32Of(bytes), version, Sha256HexOf(bytes));
}

// The run's folders ("orv" and eight hexadecimal digits) left in the setup folder, where the stub
// keeps its resume copy too.
inline std::vector<std::string> RunFoldersLeft() {
  std::vector<std::string> left;
  for (const std::string& name : ListFiles(ResumeDir(), "orv")) {
    if (name != kCopyName) left.push_back(name);
  }
  return left;
}

// The Unix path of a file in a run's folder, from its Windows path there.
inline std::string RunFile(const std::string& windowsPath) {
  const size_t name = windowsPath.find_last_of('\\');
  const size_t folder = windowsPath.find_last_of('\\', name - 1);
  return ResumeDir() + "/" + windowsPath.substr(folder + 1, name - folder - 1) + "/" + windowsPath.substr(name + 1);
}

// What a throttled download did on the server's side.
struct Delivery {
  std::atomic<size_t> sent{0};
  std::atomic<bool> complete{false};
  std::atomic<bool> cut{false};  // the client went away before the end
};

class StubTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BedReady(error)) << error;
    ClearLog();
    ClearTemp();
    RemoveFile(DesktopDir() + "/" + kShortcutName);
    NextStubEndpoints() = {};
    RenewFiles();
  }

  // Removes the downloads, their folders and the resume copy that earlier runs left.
  static void ClearTemp() {
    std::error_code gone;
    std::filesystem::remove_all(ResumeDir(), gone);
    for (const std::string& name : ListFiles(TempDir(), "orv")) {
      std::error_code ignored;
      std::filesystem::remove_all(TempDir() + "/" + name, ignored);
    }
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

  // Offers bytes at path on the files server, in `chunks` pieces with a pause after each.
  std::shared_ptr<Delivery> ServeThrottled(const std::string& path, const std::string& bytes, size_t chunks,
                                           int pauseMs) {
    auto delivery = std::make_shared<Delivery>();
    const size_t piece = (bytes.size() + chunks - 1) / chunks;
    EXPECT_FALSE(files_->started()) << "the files server serves once: RenewFiles() first";
    files_->server().Get(path, [=](const httplib::Request&, httplib::Response& response) {
      response.set_content_provider(
          bytes.size(), "application/octet-stream",
          [=](size_t offset, size_t length, httplib::DataSink& sink) {
            const size_t n = std::min(piece, length);
            if (!sink.write(bytes.data() + offset, n)) {
              delivery->cut = true;
              return false;
            }
            delivery->sent += n;
            if (offset + n == bytes.size()) {
              delivery->complete = true;
            } else {
              std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
            return true;
          });
    });
    EXPECT_TRUE(files_->Start()) << "files server";
    return delivery;
  }

  std::unique_ptr<TestServer> config_;
  std::unique_ptr<TestServer> files_;
};

}  // namespace bed
