// From the configuration's and the signature's bytes to the checked configuration: the lines
// logged, the highest serial read and written, and the refusals, in signed and unsigned builds,
// from the network and from a folder.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "main/config_acceptance.h"

#include "contract/run_error.h"
#include "recording_ports.h"

namespace orv_test {
namespace {

using Lines = std::vector<std::string>;

P256PublicKey FakeKey(uint8_t seed) {
  P256PublicKey key{};
  key[0] = 0x04;
  for (size_t i = 1; i < key.size(); ++i) key[i] = static_cast<uint8_t>(seed * 7 + i);
  return key;
}
const P256PublicKey kFirst = FakeKey(1), kSecond = FakeKey(2);

std::string Sign(const std::string& document, const std::vector<P256PublicKey>& keys) {
  return RecordingPorts::FakeSignatureDocument(document, keys);
}

// A document that a signed build requires (serial 7, expiring at 2027-01-01T00:00:00Z).
const std::string kDoc = "{\"shortcut\": true, \"wrapper\": \"https://h/i.exe\", \"checksum\": 1, \"version\": \"1\", "
                         "\"sha256\": \"" + std::string(64, 'a') + "\", \"size\": 3, \"product\": \"Orvandel\", "
                         "\"serial\": 7, \"expires\": \"2027-01-01T00:00:00Z\"}";

std::string Join(const Lines& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << "\n  " << line;
  return out.str();
}

TEST(AcceptConfiguration, SignedAndUnsignedBuildsFromTheNetworkAndAFolder) {
  const std::string& doc = kDoc;
  const std::string first = "INFO Configuration signed by key " + ConfigKeyId(kFirst);
  const std::string readSerial = "read serial Orvandel";
  const std::string expired =
      "the configuration expired at 2027-01-01T00:00:00Z; this machine's clock says 2027-01-01T00:00:01Z";
  struct Case {
    const char* name;
    bool signedBuild;
    std::string document;
    std::string signature;
    ConfigOrigin origin;
    Scenario scenario;
    bool accepted;
    Lines expected;
  };
  const auto at = [](int64_t now, std::optional<uint64_t> highest = std::nullopt) {
    Scenario s;
    s.now = now;
    s.highestSerial = highest;
    return s;
  };
  const int64_t kNow = 1798761600;  // the expiry of kDoc
  Scenario unreadable = at(kNow);
  unreadable.serialUnreadable = true;
  Scenario unwritable = at(kNow);
  unwritable.serialUnwritable = true;
  const Case cases[] = {
      {"unsigned build: no signature, no serial kept", false, "{\"shortcut\": true, \"wrapper\": \"https://h/\", "
       "\"checksum\": 1, \"version\": \"1\"}", "", ConfigOrigin::Network, at(kNow), true, {}},
      {"signed by the first key: its serial kept", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Network, at(kNow), true,
       {first, readSerial, "write serial Orvandel 7"}},
      {"the serial accepted before: nothing written", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Network,
       at(kNow, 7), true, {first, readSerial}},
      {"older than accepted", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Network, at(kNow, 8), false,
       {first, readSerial,
        "ERROR Configuration refused: serial 7 is older than serial 8, accepted before on this machine"}},
      {"the highest serial unreadable", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Network, unreadable, false,
       {first, readSerial,
        "ERROR Cannot read the highest configuration serial accepted on this machine: ConfigSerial is not a "
        "REG_QWORD. Error code 13"}},
      {"the serial cannot be kept: a warning", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Network, unwritable, true,
       {first, readSerial, "write serial Orvandel 7",
        "WARNING Cannot keep configuration serial 7 as the highest accepted: Cannot write ConfigSerial. Error code 5"}},
      {"expired, from a folder", true, doc, Sign(doc, {kFirst}), ConfigOrigin::Folder, at(kNow + 1), true,
       {first, readSerial, "WARNING Configuration accepted from a folder although " + expired,
        "write serial Orvandel 7"}},
      {"unsigned document", true, doc, "", ConfigOrigin::Network, at(kNow), false,
       {"ERROR Configuration signature refused: the signature is empty"}},
      {"signed, but not a document", true, "<html>", Sign("<html>", {kFirst}), ConfigOrigin::Network, at(kNow), false,
       {first, "ERROR Error parsing file. Error: syntax error while parsing value - invalid literal; last read: '<' at "
               "line 1, column 1"}},
  };
  for (const Case& c : cases) {
    RecordingPorts fake(c.scenario);
    RunSettings settings;
    if (c.signedBuild) settings.configKeys = {kFirst, kSecond};
    const Result<StubConfig> accepted = AcceptConfiguration(fake.ports(), settings, c.document, c.signature, c.origin);
    EXPECT_EQ(accepted.ok(), c.accepted) << c.name;
    if (!accepted.ok()) {
      EXPECT_EQ(accepted.status().error(), RunError::ConfigParse) << c.name;
    }
    EXPECT_EQ(Join(fake.trace), Join(c.expected)) << c.name;
  }
}

}  // namespace
}  // namespace orv_test
