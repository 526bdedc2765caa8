#pragma once
// The signed stub's documents: signed by orvpublish with the test keys the cross build made
// ("first" and "second" are built into orvsetup_signed, "other" is not), and the highest serials
// that earlier runs of a slot's prefix kept.
#include <filesystem>
#include <string>
#include <vector>

#include "stub_fixture.h"

namespace bed {

inline constexpr char kSerialKey[] = "HKLM\\Software\\Orvandel\\Setup";

// Wine's reg with args, in the slot's prefix.
inline ProcessResult Reg(const std::vector<std::string>& args) {
  std::vector<std::string> argv{GetBed().wine, "reg"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, 60000, {{"WINEDEBUG", "-all"}});
}

// Forgets every serial accepted before, so that a run's serial is never older than a kept one.
inline void ForgetAcceptedSerials() { Reg({"delete", kSerialKey, "/f", "/reg:32"}); }

inline std::string TestKey(const std::string& name) { return GetBed().winBuild + "/testkeys/" + name + ".key.pem"; }

// The document for installer at wrapper, for product with serial and expiry, with its size.
inline std::string SignableDocument(const std::string& wrapper, const std::string& installer,
                                    const std::string& product, int serial, const std::string& expires) {
  const std::string base = ConfigFor(true, wrapper, installer, "1.0");
  return base.substr(0, base.size() - 1) + ", \"size\": " + std::to_string(installer.size()) + ", \"product\": \"" +
         product + "\", \"serial\": " + std::to_string(serial) + ", \"expires\": \"" + expires + "\"}";
}

// The signature orvpublish writes for document with keys (none: no signature, "").
inline std::string Sign(const std::string& document, const std::vector<std::string>& keys) {
  if (keys.empty()) return "";
  const std::string path = GetBed().out + "/signed-config.json";
  EXPECT_TRUE(WriteFile(path, document));
  std::vector<std::string> argv{ORV_PUBLISH_EXE, "sign"};
  for (const std::string& key : keys) argv.insert(argv.end(), {"--key", TestKey(key)});
  argv.push_back(path);
  const ProcessResult run = RunProcess(argv, 60000);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  std::string signature;
  EXPECT_TRUE(ReadFile(path + ".sig", signature));
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".sig");
  return signature;
}

// The message of the run's first ERROR line ("" when there is none).
inline std::string FirstError() {
  for (const LogLine& line : ReadLog()) {
    if (line.level == "ERROR") return line.message;
  }
  return "";
}

}  // namespace bed
