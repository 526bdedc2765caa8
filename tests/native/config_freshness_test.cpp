// Whether a configuration is fresh and meant for this stub: its UTC times, the keys that carry
// product, serial and expiry, and the rules held against the build, the machine and its clock.
#include <gtest/gtest.h>

#include <string>

#include "config/config_freshness.h"
#include "text/utf8.h"

namespace orv_test {
namespace {
using namespace orv;

TEST(UtcTime, OnlyRealTimesInTheOneFormAreRead) {
  struct Case {
    const char* text;
    int64_t seconds;  // -1: refused
  } cases[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2027-01-01T00:00:00Z", 1798761600},
      {"2028-02-29T23:59:59Z", 1835481599},
      {"2000-02-29T12:00:00Z", 951825600},
      {"2027-02-29T00:00:00Z", -1},  // not a leap year
      {"2100-02-29T00:00:00Z", -1},  // nor this one
      {"2027-04-31T00:00:00Z", -1},
      {"2027-01-01T24:00:00Z", -1},
      {"2027-01-01T00:00:60Z", -1},
      {"1969-12-31T23:59:59Z", -1},
      {"2027-01-01T00:00:00z", -1},
      {"2027-01-01 00:00:00Z", -1},
      {"2027-01-01T00:00:00", -1},
      {"+027-01-01T00:00:00Z", -1},
  };
  for (const auto& c : cases) {
    const std::optional<int64_t> read = ParseUtcTime(c.text);
    EXPECT_EQ(read ? *read : -1, c.seconds) << c.text;
    if (read) {
      EXPECT_EQ(FormatUtcTime(*read), c.text);
    }
  }
}

// A document with the given members after the four that every document has.
std::string Doc(const std::string& more) {
  return "{\"shortcut\": true, \"wrapper\": \"https://h/i.exe\", \"checksum\": 1, \"version\": \"1\"" + more + "}";
}

TEST(ConfigDocument, ProductSerialAndExpiresAreCheckedWhenPresent) {
  struct Case {
    std::string more;
    const char* refusal;  // "" when read
  } cases[] = {
      {"", ""},
      {", \"product\": \"Orvandel\", \"serial\": 9007199254740991, \"expires\": \"2027-01-01T00:00:00Z\"", ""},
      {", \"product\": \"\"", "product is not a string of 1 to 64 characters"},
      {", \"product\": 7", "product is not a string of 1 to 64 characters"},
      {", \"product\": \"" + std::string(65, 'p') + "\"", "product is not a string of 1 to 64 characters"},
      {", \"serial\": 0", "serial is not an integer from 1 to 9007199254740991"},
      {", \"serial\": 9007199254740992", "serial is not an integer from 1 to 9007199254740991"},
      {", \"serial\": -3", "serial is not an integer from 1 to 9007199254740991"},
      {", \"serial\": 1.5", "serial is not an integer from 1 to 9007199254740991"},
      {", \"serial\": \"7\"", "serial is not an integer from 1 to 9007199254740991"},
      {", \"expires\": \"2027-01-01\"", "expires is not a UTC time YYYY-MM-DDTHH:MM:SSZ"},
      {", \"expires\": 1798761600", "expires is not a UTC time YYYY-MM-DDTHH:MM:SSZ"},
  };
  for (const auto& c : cases) {
    const Result<StubConfig> read = ReadStubConfigUtf8(Doc(c.more));
    EXPECT_EQ(read.ok() ? "" : read.status().detail(), c.refusal) << c.more;
  }
}

TEST(ConfigDocument, TheBytesAreReadAsUtf8UpToTheFirstZeroByte) {
  struct Case {
    const char* name;
    std::string bytes;
    bool read;
  } cases[] = {
      {"UTF-8 product", Doc(", \"product\": \"Orv\xC3\xA4ndel\""), true},
      {"Latin-1 product", Doc(", \"product\": \"Orv\xE4ndel\""), false},
      {"a zero byte ends it", Doc("") + std::string("\0junk", 5), true},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadStubConfigUtf8(c.bytes).ok(), c.read) << c.name;
}

TEST(JudgeFreshness, TheFirstRuleBrokenRefusesAndAnExpiryFromAFolderOnlyWarns) {
  StubConfig full;
  full.product = L"Orvandel";
  full.serial = 7;
  full.expires = 1798761600;  // 2027-01-01T00:00:00Z
  full.sha256 = Sha256Digest{};
  full.size = 3;
  FreshnessRules signedRules;
  signedRules.signedBuild = true;
  signedRules.product = L"Orvandel";
  signedRules.now = 1798761600;
  const auto with = [](StubConfig config, auto change) {
    change(config);
    return config;
  };
  const auto rules = [&](auto change) {
    FreshnessRules r = signedRules;
    change(r);
    return r;
  };
  struct Case {
    const char* name;
    StubConfig config;
    FreshnessRules rules;
    const char* refusal;
    const char* warning;
  } cases[] = {
      {"everything in order, expiring this second", full, signedRules, "", ""},
      {"no product", with(full, [](StubConfig& c) { c.product.reset(); }), signedRules,
       "product is required in a signed configuration", ""},
      {"no serial", with(full, [](StubConfig& c) { c.serial.reset(); }), signedRules,
       "serial is required in a signed configuration", ""},
      {"no expiry", with(full, [](StubConfig& c) { c.expires.reset(); }), signedRules,
       "expires is required in a signed configuration", ""},
      {"no sha256", with(full, [](StubConfig& c) { c.sha256.reset(); }), signedRules,
       "sha256 is required in a signed configuration", ""},
      {"no size", with(full, [](StubConfig& c) { c.size.reset(); }), signedRules,
       "size is required in a signed configuration", ""},
      {"nothing is required unsigned", StubConfig{}, rules([](FreshnessRules& r) { r.signedBuild = false; }), "", ""},
      {"another product", with(full, [](StubConfig& c) { c.product = L"Orvandel Beta"; }), signedRules,
       "the configuration is for product \"Orvandel Beta\", this stub installs \"Orvandel\"", ""},
      {"another product unsigned", with(full, [](StubConfig& c) { c.product = L"orvandel"; }),
       rules([](FreshnessRules& r) { r.signedBuild = false; }),
       "the configuration is for product \"orvandel\", this stub installs \"Orvandel\"", ""},
      {"below the floor", full, rules([](FreshnessRules& r) { r.serialFloor = 8; }),
       "serial 7 is below this stub's lowest serial 8", ""},
      {"at the floor", full, rules([](FreshnessRules& r) { r.serialFloor = 7; }), "", ""},
      {"older than accepted", full, rules([](FreshnessRules& r) { r.highestSerial = 8; }),
       "serial 7 is older than serial 8, accepted before on this machine", ""},
      {"as old as accepted", full, rules([](FreshnessRules& r) { r.highestSerial = 7; }), "", ""},
      {"expired", full, rules([](FreshnessRules& r) { r.now += 1; }),
       "the configuration expired at 2027-01-01T00:00:00Z; this machine's clock says 2027-01-01T00:00:01Z", ""},
      {"expired, from a folder", full, rules([](FreshnessRules& r) { r.now += 86400, r.pastExpiryIsWarning = true; }), "",
       "the configuration expired at 2027-01-01T00:00:00Z; this machine's clock says 2027-01-02T00:00:00Z"},
      {"older and expired: the serial first", full, rules([](FreshnessRules& r) { r.highestSerial = 9, r.now += 1; }),
       "serial 7 is older than serial 9, accepted before on this machine", ""},
  };
  for (const Case& c : cases) {
    const FreshnessVerdict verdict = JudgeFreshness(c.config, c.rules);
    EXPECT_EQ(verdict.refusal, c.refusal) << c.name;
    EXPECT_EQ(verdict.warning, c.warning) << c.name;
  }
}

}  // namespace
}  // namespace orv_test
