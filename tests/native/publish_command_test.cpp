#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "publish/publish_command.h"
#include "publish/transfer_report.h"

namespace {
using namespace orv;

std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += "[" + arg + "]";
  return text;
}

TEST(PublishCommand, ValidCommandLines) {
  struct Case {
    std::vector<std::string> args;
    PublishCommand::Kind kind;
    std::string first;  // installer (make), document (check) or url (verify); help: the topic
    std::string second;  // make: wrapper; check: installer; verify: CA file
    bool shortcut;
    std::string output;
  };
  using K = PublishCommand::Kind;
  const Case cases[] = {
      {{}, K::Help, "", "", true, ""},
      {{"help", "check"}, K::Help, "check", "", true, ""},
      {{"verify", "https://h/orv.json", "--help"}, K::Help, "verify", "", true, ""},
      {{"make", "i.exe", "--wrapper", "https://h/i.exe", "--version", "1.0"}, K::Make, "i.exe", "https://h/i.exe", true, ""},
      {{"make", "--version=2", "--no-shortcut", "i.exe", "--wrapper=http://h/i", "-o", "o.json"},
       K::Make, "i.exe", "http://h/i", false, "o.json"},
      {{"make", "i.exe", "-o", "-", "--wrapper", "u", "--version", "v"}, K::Make, "i.exe", "u", true, ""},
      {{"check", "orv.json"}, K::Check, "orv.json", "", true, ""},
      {{"check", "--installer", "i.exe", "orv.json"}, K::Check, "orv.json", "i.exe", true, ""},
      {{"verify", "https://h/orv.json", "--ca-file=ca.pem"}, K::Verify, "https://h/orv.json", "ca.pem", true, ""},
  };
  for (const Case& c : cases) {
    PublishCommand command;
    std::string error;
    ASSERT_TRUE(ParsePublishCommand(c.args, command, error)) << Joined(c.args) << ": " << error;
    EXPECT_EQ(command.kind, c.kind) << Joined(c.args);
    const std::string first = c.kind == K::Help    ? command.topic
                              : c.kind == K::Make  ? command.installer
                              : c.kind == K::Check ? command.document
                                                   : command.url;
    const std::string second = c.kind == K::Make    ? command.wrapper
                               : c.kind == K::Check ? command.installer
                               : c.kind == K::Verify ? command.caFile
                                                     : "";
    EXPECT_EQ(first, c.first) << Joined(c.args);
    EXPECT_EQ(second, c.second) << Joined(c.args);
    EXPECT_EQ(command.shortcut, c.shortcut) << Joined(c.args);
    EXPECT_EQ(command.output, c.output) << Joined(c.args);
  }
}

TEST(PublishCommand, SigningOptionsAreRead) {
  PublishCommand command;
  std::string error;
  ASSERT_TRUE(ParsePublishCommand({"make", "i.exe", "--wrapper", "u", "--version", "1", "--product", "Orvandel",
                                   "--serial", "42", "--expires", "2027-06-30T00:00:00Z", "--key", "a.pem", "--key",
                                   "b.pem", "-o", "orv.json"},
                                  command, error))
      << error;
  EXPECT_EQ(command.product, "Orvandel");
  EXPECT_EQ(command.serial, 42u);
  EXPECT_EQ(command.expires, 1814313600);
  EXPECT_EQ(command.keys, (std::vector<std::string>{"a.pem", "b.pem"}));
  ASSERT_TRUE(ParsePublishCommand({"check", "orv.json", "--pub", "a.pub.pem", "--pub=b.pub.pem"}, command, error));
  EXPECT_EQ(command.pubs, (std::vector<std::string>{"a.pub.pem", "b.pub.pem"}));
  ASSERT_TRUE(ParsePublishCommand({"keygen", "orv-2027-a"}, command, error));
  EXPECT_EQ(command.kind, PublishCommand::Kind::Keygen);
  EXPECT_EQ(command.name, "orv-2027-a");
}

TEST(PublishCommand, UsageErrorsNameTheProblem) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"publish"}, "unknown command publish (keygen, make, sign, check or verify; see --help)"},
      {{"make", "i.exe", "--version", "1"}, "make: --wrapper is missing"},
      {{"make", "i.exe", "--wrapper", "u"}, "make: --version is missing"},
      {{"make", "--wrapper", "u", "--version", "1"}, "make: an argument is missing"},
      {{"make", "i.exe", "--wrapper", "u", "--version", "1", "--no-shortcut=yes"}, "make: --no-shortcut takes no value"},
      {{"make", "i.exe", "--wrapper", "u", "--version"}, "make: --version needs a value"},
      {{"check", "a.json", "b.json"}, "check: too many arguments"},
      {{"check", "a.json", "--installer="}, "check: --installer needs a value"},
      {{"check", "a.json", "--wrapper", "u"}, "check: unknown option --wrapper"},
      {{"verify", "u", "--ca-file", "a", "--ca-file", "b"}, "verify: --ca-file is given twice"},
      {{"make", "i.exe", "--wrapper", "u", "--version", "1", "--key", "k.pem"},
       "make: --key needs -o FILE: the signature is written beside the document, as FILE.sig"},
      {{"make", "i.exe", "--wrapper", "u", "--version", "1", "--serial", "0"},
       "make: --serial must be an integer from 1 to 9007199254740991"},
      {{"make", "i.exe", "--wrapper", "u", "--version", "1", "--serial", "7x"},
       "make: --serial must be an integer from 1 to 9007199254740991"},
      {{"make", "i.exe", "--wrapper", "u", "--version", "1", "--expires", "2027-02-30T00:00:00Z"},
       "make: --expires must be a UTC time YYYY-MM-DDTHH:MM:SSZ"},
      {{"sign", "orv.json"}, "sign: --key is missing"},
      {{"sign", "--key", "a", "--key", "b", "--key", "c", "--key", "d", "--key", "e", "orv.json"}, "sign: at most 4 keys"},
  };
  for (const auto& c : cases) {
    PublishCommand command;
    std::string error;
    EXPECT_FALSE(ParsePublishCommand(c.first, command, error)) << Joined(c.first);
    EXPECT_EQ(error, c.second) << Joined(c.first);
  }
}

TEST(TransferReport, FiguresInReadableUnits) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatBytes(0), "0 bytes"},
      {FormatBytes(1023), "1023 bytes"},
      {FormatBytes(1024), "1,024 bytes (1.0 KiB)"},
      {FormatBytes(1234567), "1,234,567 bytes (1.2 MiB)"},
      {FormatBytes(4294967296ull), "4,294,967,296 bytes (4.0 GiB)"},
      {FormatThroughput(1000, 0), "-"},
      {FormatThroughput(1048576, 500), "2.0 MiB/s"},
      {FormatThroughput(300, 1000), "300 B/s"},
      {DescribeTransfer("document", {200, 2048, 250}), "document: HTTP 200, 2,048 bytes (2.0 KiB) in 0.25 s, 8.0 KiB/s"},
      {DescribeTransfer("installer", {0, 0, 1500}), "installer: no response, 0 bytes in 1.50 s, 0 B/s"},
      {ProgressText(3u << 20, 12u << 20, 1000), "3.0 MiB of 12.0 MiB (25%), 3.0 MiB/s"},
      {ProgressText(13u << 20, 12u << 20, 1000), "13.0 MiB of 12.0 MiB (100%), 13.0 MiB/s"},
      {ProgressText(5, 0, 0), "5 B, -"},
      {ProgressText(2048, std::nullopt, 2000), "2.0 KiB, 1.0 KiB/s"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.first, c.second);
}

}  // namespace
