// Total deadlines of an HTTP exchange and the installer's size limit.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/config_document.h"
#include "config/stub_config.h"
#include "http/exchange_deadline.h"
#include "text/utf8.h"

namespace {
using namespace orv;

TEST(ExchangeDeadline, CutsEachStepToTheTimeThatRemains) {
  struct Case {
    uint64_t start;
    uint32_t budget;
    int step;
    uint64_t now;
    bool expired;
    int timeout;
  };
  const Case cases[] = {
      {1000, 30000, 30000, 1000, false, 30000},    // the step's own time-out fits
      {1000, 30000, 30000, 2000, false, 29000},    // cut to what remains
      {1000, 30000, 0, 1000, false, 30000},        // a step without time-out gets the rest
      {1000, 30000, -1, 1000, false, 30000},       // so does an infinite one
      {1000, 30000, 60000, 30999, false, 1},       // at least 1 while time remains
      {1000, 30000, 30000, 31000, true, 1},        // at the deadline
      {1000, 30000, 30000, 999999, true, 1},       // long past it
      {1000, 30000, 30000, 500, false, 30000},     // a clock that went back spends nothing
      {0, 0, 30000, 999999, false, 30000},         // no deadline: the step as it is
      {0, 0, 0, 999999, false, 0},
      {0xFFFFFFFFFFFF0000ull, 10000, 30000, 0xFFFFFFFFFFFF0000ull + 9000, false, 1000},
  };
  for (const Case& c : cases) {
    const ExchangeDeadline deadline(c.start, c.budget);
    const std::string where = "start " + std::to_string(c.start) + " budget " + std::to_string(c.budget) +
                              " step " + std::to_string(c.step) + " now " + std::to_string(c.now);
    EXPECT_EQ(deadline.Expired(c.now), c.expired) << where;
    EXPECT_EQ(deadline.StepTimeoutMs(c.step, c.now), c.timeout) << where;
  }
}

TEST(DownloadSizeLimit, ConfiguredSizeMustMatchOtherwiseFourGiB) {
  EXPECT_EQ(DownloadSizeLimit(std::nullopt), 4294967296ull);
  EXPECT_EQ(DownloadSizeLimit(1234), 1234u);
  EXPECT_TRUE(DownloadSizeAcceptable(0, std::nullopt));
  EXPECT_TRUE(DownloadSizeAcceptable(kMaxInstallerBytes, std::nullopt));
  EXPECT_FALSE(DownloadSizeAcceptable(kMaxInstallerBytes + 1, std::nullopt));
  EXPECT_TRUE(DownloadSizeAcceptable(1234, 1234));
  EXPECT_FALSE(DownloadSizeAcceptable(1233, 1234));
  EXPECT_FALSE(DownloadSizeAcceptable(1235, 1234));
}

TEST(DownloadSizeKey, OptionalExactSizeUpToFourGiB) {
  struct Case {
    const wchar_t* text;
    bool ok;
    std::optional<uint64_t> size;
    std::string error;
  };
  const Case cases[] = {
      {L"{\"wrapper\": \"http://h/i.exe\"}", true, std::nullopt, ""},
      {L"{\"size\": 1048576}", true, 1048576u, ""},
      {L"{\"size\": 4294967296}", true, 4294967296ull, ""},
      {L"// comment\n{\"size\": 7 /* bytes */}", true, 7u, ""},
      {L"[1, 2]", true, std::nullopt, ""},
      {L"{\"size\": 4294967297}", false, std::nullopt, "size is larger than 4 GiB"},
      {L"{\"size\": 0}", false, std::nullopt, "size is 0"},
      {L"{\"size\": -5}", false, std::nullopt, "size is not an unsigned integer"},
      {L"{\"size\": 1.5}", false, std::nullopt, "size is not an unsigned integer"},
      {L"{\"size\": \"100\"}", false, std::nullopt, "size is not an unsigned integer"},
      {L"{\"size\": null}", false, std::nullopt, "size is not an unsigned integer"},
  };
  for (const Case& c : cases) {
    ConfigDocument document;
    ASSERT_TRUE(document.Parse(c.text).ok()) << ToUtf8(c.text);
    const Result<std::optional<uint64_t>> size = document.ReadSize();
    EXPECT_EQ(size.ok(), c.ok) << ToUtf8(c.text);
    EXPECT_EQ(size.status().detail(), c.error) << ToUtf8(c.text);
    if (size.ok()) EXPECT_EQ(*size, c.size) << ToUtf8(c.text);
  }
}

}  // namespace
