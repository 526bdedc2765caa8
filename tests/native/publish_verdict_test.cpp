#include <gtest/gtest.h>

#include <string>

#include "config/stub_config.h"
#include "http/body_buffer.h"
#include "publish/document_maker.h"
#include "publish/stub_verdict.h"
#include "text/utf8.h"
#include "util/crc32.h"

namespace {
using namespace orv;

FileSums SumsOf(const std::string& bytes) {
  FileSumsBuilder builder;
  builder.Add(bytes.data(), bytes.size());
  return builder.Finish();
}

DocumentRequest Request(const std::string& wrapper, const std::string& version, const std::string& installer) {
  DocumentRequest request;
  request.wrapper = wrapper;
  request.version = version;
  request.installer = SumsOf(installer);
  return request;
}

TEST(MakeDocument, ReadsBackAsTheStubReadsIt) {
  DocumentRequest request = Request("https://dl.example.com/setup.exe?channel=beta&x=%22", "4.1 ~b\\x", "MZ installer");
  request.shortcut = false;
  std::string text;
  std::string error;
  ASSERT_TRUE(MakeDocument(request, text, error)) << error;
  EXPECT_LT(text.find("\"shortcut\""), text.find("\"wrapper\""));
  EXPECT_LT(text.find("\"sha256\""), text.find("\"size\"")) << text;
  const Result<StubConfig> read = ReadStubConfig(FromUtf8(text));
  ASSERT_TRUE(read.ok()) << read.status().detail();
  const StubConfig& config = *read;
  EXPECT_FALSE(config.shortcut);
  EXPECT_EQ(config.wrapper, L"https://dl.example.com/setup.exe?channel=beta&x=%22");
  EXPECT_EQ(config.version, FromUtf8("4.1 ~b\\x"));
  EXPECT_EQ(config.checksum, Crc32("MZ installer", 12));
  EXPECT_EQ(config.size, 12u);
  EXPECT_EQ(config.sha256, request.installer.sha256);
}

TEST(MakeDocument, RefusesWhatTheStubRefusesWithItsReason) {
  FileSums huge = SumsOf("x");
  huge.size = (uint64_t{4} << 30) + 1;
  const std::pair<DocumentRequest, std::string> cases[] = {
      {Request("https://h/i.exe", "1", ""), "Error parsing file. Error: size is 0"},
      {Request("ftp://h/i.exe", "1", "x"), "Error parsing file. Error: wrapper is not an http or https URL"},
      {Request("https://h/i .exe", "1", "x"), "Error parsing file. Error: wrapper is not an http or https URL"},
      {Request("https://h/i.exe", "1\"", "x"), "Error parsing file. Error: version holds a double quote"},
      {Request("https://h/i.exe", "1\\", "x"), "Error parsing file. Error: version ends in a backslash"},
      {Request("https://h/i.exe", "1\t", "x"), "Error parsing file. Error: version holds a control character"},
      {Request("https://h/i.exe", "1 \xC2\xA5", "x"),
       "Error parsing file. Error: version holds a character that is not printable ASCII"},
      {Request("https://h/i.exe", std::string(65, '1'), "x"), "Error parsing file. Error: version is longer than 64 characters"},
      {Request("https://h/\xFF", "1", "x"), "wrapper is not valid UTF-8"},
      {Request("https://h/i.exe", "\xC3", "x"), "version is not valid UTF-8"},
      {DocumentRequest{true, "https://h/i.exe", "1", huge}, "Error parsing file. Error: size is larger than 4 GiB"},
  };
  for (const auto& c : cases) {
    std::string text = "unchanged";
    std::string error;
    EXPECT_FALSE(MakeDocument(c.first, text, error)) << c.first.wrapper << " " << c.first.version;
    EXPECT_EQ(error, c.second) << c.first.wrapper << " " << c.first.version;
    EXPECT_EQ(text, "unchanged");
  }
}

TEST(JudgeDocument, BodiesTheFetchRefusesOrCutsShort) {
  const std::string good = "{\"shortcut\": true, \"wrapper\": \"https://h/i\", \"checksum\": 1, \"version\": \"1\"}";
  // Bytes after a zero byte count against the limit but are not parsed.
  const std::string atLimit = good + std::string(BodyBuffer::kMaxBodyBytes - good.size(), '\0');
  const std::string tooLarge = atLimit + " ";
  const struct {
    std::string body;
    uint32_t code;
    std::string reason;
  } cases[] = {
      {good, 0, ""},
      {atLimit, 0, ""},
      {tooLarge, 1, "Can't download config file (the body is larger than 16777216 bytes)"},
      {"<HTML><body>" + good, 1, "Can't download config file (the body opens <html> without closing it)"},
      {good + std::string("\0<html> after the end", 21), 0, ""},
      {"", 3, "Error parsing file. Error: syntax error while parsing value - unexpected end of input; expected '[', "
              "'{', or a literal at line 1, column 1"},
  };
  for (const auto& c : cases) {
    StubConfig config;
    const StubVerdict verdict = JudgeDocument(c.body, config);
    EXPECT_EQ(verdict.code, c.code) << c.body.substr(0, 80);
    EXPECT_EQ(verdict.reason, c.reason) << c.body.substr(0, 80);
  }
}

TEST(JudgeInstallerFile, SizeThenCrcThenSha256) {
  const FileSums sums = SumsOf("installer bytes");
  StubConfig exact;
  exact.checksum = sums.crc32;
  exact.sha256 = sums.sha256;
  exact.size = sums.size;
  StubConfig wrongSize = exact;
  wrongSize.size = sums.size + 1;
  StubConfig wrongCrcAndSha = exact;
  wrongCrcAndSha.checksum ^= 1;
  wrongCrcAndSha.sha256->at(0) ^= 1;
  StubConfig wrongSha = exact;
  wrongSha.sha256->at(31) ^= 1;
  StubConfig crcOnly = exact;
  crcOnly.sha256.reset();
  crcOnly.size.reset();
  FileSums beyondLimit = sums;
  beyondLimit.size = (uint64_t{4} << 30) + 1;
  const struct {
    const char* name;
    StubConfig config;
    FileSums sums;
    uint32_t code;
    std::string reason;
  } cases[] = {
      {"exact", exact, sums, 0, ""},
      {"crc only", crcOnly, sums, 0, ""},
      {"wrong size", wrongSize, sums, 4, "the installer has 15 bytes, the document's size is 16"},
      {"no size, past 4 GiB", crcOnly, beyondLimit, 4, "the installer has 4294967297 bytes, more than 4 GiB"},
      {"wrong crc and sha", wrongCrcAndSha, sums, 6, "Mismatch of the wrapper checksum"},
      {"wrong sha", wrongSha, sums, 6, "Mismatch of the wrapper SHA-256"},
  };
  for (const auto& c : cases) {
    const StubVerdict verdict = VerdictOf(JudgeInstallerFile(c.config, c.sums));
    EXPECT_EQ(verdict.code, c.code) << c.name;
    EXPECT_EQ(verdict.reason, c.reason) << c.name;
  }
  EXPECT_EQ(JudgeInstallerStatus(200).code, 0u);
  EXPECT_EQ(JudgeInstallerStatus(404).reason, "the installer's address answers with HTTP status 404");
  EXPECT_EQ(JudgeInstallerStatus(0).code, 4u);
}

TEST(CharsetWarning, OnlyForNonAsciiBytesReadInTheAnsiCodePage) {
  const std::string nonAscii = "{\"version\": \"\xC3\xBC\"}";
  const struct {
    std::wstring headers;
    std::string body;
    bool warned;
  } cases[] = {
      {L"HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=UTF-8\r\n", nonAscii, false},
      {L"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n", "{\"version\": \"1\"}", false},
      {L"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n", nonAscii, true},
      {L"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n", nonAscii, true},
      {L"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n", std::string("{}\0\xC3\xBC", 5), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!CharsetWarning(c.headers, c.body).empty(), c.warned) << ToUtf8(c.headers) << c.body;
  }
}

}  // namespace
