// The whole run, driven through a recording fake: every error code, every outcome, retries and
// the order of the log lines, boxes and effects.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "main/setup_run.h"
#include "recording_effects.h"

namespace {
using namespace orv;
using namespace orv_test;

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::wstring kGoodConfig =
    L"{\"shortcut\": true, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 4294967297,"
    L" \"version\": \"4.1\"}";
// The good document with the SHA-256 of "abc".
const std::wstring kSha256Config =
    L"{\"shortcut\": true, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 1, \"version\": \"4.1\","
    L" \"sha256\": \"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\"}";
constexpr uint32_t kGoodCrc = 1;  // the low 32 bits of the configured checksum
constexpr int32_t kCannotConnect = static_cast<int32_t>(0x800C0004u);
const char kPath[] = "\"C:\\T\\orv0a1b2c3d\\orv1.tmp.exe\"";
const char kId[] = "6ba7b810-9dad-11d1-80b4-00c04fd430c8";
const char kLink[] = "C:\\Desk\\Continue installation.lnk";
const char kSecure[] = "secure C:\\P\\Orvandel Setup\\";

Lines Started() { return {"claim", "start logging", "INFO Tavlin wrapper started", "INFO Downloading config file",
                          "fetch config"}; }
Lines Parsed() { return Started() + Lines{"INFO Config file has been downloaded successfully", "INFO Parsing config file"}; }
Lines Downloading() {
  return Parsed() + Lines{"dialog start", "INFO Downloading wrapper", "temp path",
                          "download https://dl.example.com/i.exe?rn=7 -> C:\\T\\orv0a1b2c3d\\orv1.tmp.exe"};
}
Lines Downloaded() {
  return Lines{"dialog end", std::string("INFO Wrapper successfully downloaded to ") + kPath,
               "check C:\\T\\orv0a1b2c3d\\orv1.tmp.exe"};
}
// The installer and its download folder deleted.
Lines Removed() {
  return {"unlock", "delete C:\\T\\orv0a1b2c3d\\orv1.tmp.exe", std::string("INFO ") + kPath + " deleted",
          "remove folder", "INFO Download folder \"C:\\T\\orv0a1b2c3d\\\" deleted"};
}
Lines Finished() {
  return Removed() + Lines{"INFO Tavlin wrapper exiting", "release"};
}
Lines LaunchedAfterDownload(const std::string& commandLine = "") {
  const std::string parameters = std::string("-id ") + kId + " -v \"4.1\" " + commandLine;
  return Downloaded() +
         Lines{"INFO Checksum is OK. Continue...",
               std::string("INFO Launching installer \"C:\\T\\orv0a1b2c3d\\orv1.tmp.exe ") + parameters + "\"",
               "start C:\\T\\orv0a1b2c3d\\orv1.tmp.exe " + parameters, "INFO Waiting for installer to complete...", "wait"};
}
Lines Launched(const std::string& commandLine = "") { return Downloading() + LaunchedAfterDownload(commandLine); }
const Sha256Digest kPin = Sha256Of("publisher", 9);
// The installer's signature read and found to be the pinned publisher's; then the usual launch.
Lines PinnedLaunch() {
  Lines lines = Launched();
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(Downloading().size() + Downloaded().size()),
               {"signature C:\\T\\orv0a1b2c3d\\orv1.tmp.exe", "INFO Wrapper signed by the pinned publisher"});
  return lines;
}
SignatureReading Signed(const Sha256Digest& signer) {
  SignatureReading reading;
  reading.signerKnown = true;
  reading.signerSha256 = signer;
  return reading;
}
Lines Succeeded() { return Lines{"INFO Installer execution has successfully completed"} + Finished(); }
// lines without their last count entries.
Lines Without(Lines lines, size_t count) {
  lines.resize(lines.size() - count);
  return lines;
}
Lines FailedWith(const std::string& box) { return {"box " + box, "release"}; }
Lines DownloadFails() {
  return Lines{std::string("ERROR Can't download wrapper to ") + kPath} +
         FailedWith("Cannot obtain installer. Error code 4");
}
Lines Retry(int attempt, const std::string& reason, int seconds) {
  return {"WARNING Download attempt " + std::to_string(attempt) + " of 3 failed (" + reason + "). Trying again in " +
              std::to_string(seconds) + " s",
          "pause " + std::to_string(seconds * 1000), "dialog restart",
          "download https://dl.example.com/i.exe?rn=7 -> C:\\T\\orv0a1b2c3d\\orv1.tmp.exe"};
}
Lines Cancelled(uint32_t code) {
  return {"INFO Installer execution canceled. Exit code " + std::to_string(code),
          "INFO Navigating user to cancellation page", "page http://w/installation-cancelled/?v=4.1"};
}
Lines ResumeCopy() {
  return {"INFO Copy wrapper to temp directory", kSecure, "copy D:\\dl\\orvsetup.exe -> C:\\P\\Orvandel Setup\\orvdl_setup.exe",
          "INFO Wrapper successfully copied to \"C:\\P\\Orvandel Setup\\orvdl_setup.exe\"",
          std::string("INFO Attempting to create shortcut \"") + kLink + "\"",
          std::string("link ") + kLink + " -> C:\\P\\Orvandel Setup\\orvdl_setup.exe"};
}

std::string Join(const Lines& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << "\n  " << line;
  return out.str();
}

struct Case {
  const char* name;
  Scenario scenario;
  std::wstring commandLine;
  uint32_t exitCode;
  Lines expected;
};

Scenario Good() {
  Scenario s;
  s.config = kGoodConfig;
  s.crc = kGoodCrc;
  return s;
}

template <typename Change>
Scenario Good(Change change) {
  Scenario s = Good();
  change(s);
  return s;
}

}  // namespace

TEST(SetupRun, EveryCodeAndOutcomeGivesItsLinesBoxesAndEffectsInOrder) {
  const Case cases[] = {
      {"another stub runs", Good([](Scenario& s) { s.anotherStubRuns = true; }), L"", 0, {"claim"}},
      {"configuration fetch fails", Good([](Scenario& s) { s.config.reset(); }), L"", 1,
       Started() + Lines{"ERROR Can't download config file"} +
           FailedWith("Cannot obtain configuration. Error code 1")},
      {"configuration is not JSON", Good([](Scenario& s) { s.config = L"<html>"; }), L"", 3,
       Parsed() +
           Lines{"ERROR Error parsing file. Error: syntax error while parsing value - invalid literal; last read: "
                 "'<' at line 1, column 1"} +
           FailedWith("Cannot obtain configuration. Error code 3")},
      {"a bad version stops the run before the dialog and the download",
       Good([](Scenario& s) { s.config = L"{\"shortcut\": true, \"wrapper\": \"https://h/\", \"checksum\": 1,"
                                         L" \"version\": \"1\\\"\"}"; }), L"", 3,
       Parsed() + Lines{"ERROR Error parsing file. Error: version holds a double quote"} +
           FailedWith("Cannot obtain configuration. Error code 3")},
      {"a refused wrapper too",
       Good([](Scenario& s) { s.config = L"{\"shortcut\": true, \"wrapper\": \"file:///C:/x.exe\", \"checksum\": 1,"
                                         L" \"version\": \"1\"}"; }), L"", 3,
       Parsed() + Lines{"ERROR Error parsing file. Error: wrapper is not an http or https URL"} +
           FailedWith("Cannot obtain configuration. Error code 3")},
      {"plain http without a sha256 stops the run before the dialog and the download",
       Good([](Scenario& s) { s.config = L"{\"shortcut\": true, \"wrapper\": \"http://h/i.exe\", \"checksum\": 1,"
                                         L" \"version\": \"1\"}"; }), L"", 3,
       Parsed() + Lines{"ERROR Error parsing file. Error: wrapper uses plain http, which is accepted only with a "
                        "\"sha256\" of the installer"} +
           FailedWith("Cannot obtain configuration. Error code 3")},
      {"no download folder can be made",
       Good([](Scenario& s) { s.installerPath.clear(); }), L"", 4,
       Parsed() + Lines{"dialog start", "INFO Downloading wrapper", "temp path",
                        "ERROR Can't create a download folder in \"C:\\T\\\". Error code 5"} +
           FailedWith("Cannot obtain installer. Error code 4")},
      {"the download folder stays", Good([](Scenario& s) { s.folderStays = true; }), L"", 0,
       Launched() + Lines{"INFO Installer execution has successfully completed"} +
           Without(Removed(), 1) +
           Lines{"WARNING Unable to delete download folder \"C:\\T\\orv0a1b2c3d\\\". Error code 145",
                 "INFO Tavlin wrapper exiting", "release"}},
      {"404 is not retried", Good([](Scenario& s) { s.downloads = {{0, 404, false}}; }), L"", 4,
       Downloading() + Lines{"ERROR Download attempt 1 of 3 failed (HTTP status 404)"} + DownloadFails()},
      {"503 three times", Good([](Scenario& s) { s.downloads = {{0, 503, false}, {0, 503, false}, {0, 503, false}}; }),
       L"", 4,
       Downloading() + Retry(1, "HTTP status 503", 1) + Retry(2, "HTTP status 503", 3) +
           Lines{"ERROR Download attempt 3 of 3 failed (HTTP status 503)"} + DownloadFails()},
      {"503 twice, then the installer", Good([](Scenario& s) { s.downloads = {{0, 503, false}, {0, 503, false}}; }),
       L"", 0,
       Downloading() + Retry(1, "HTTP status 503", 1) + Retry(2, "HTTP status 503", 3) + LaunchedAfterDownload() +
           Succeeded()},
      {"a refused connection, then a stall, then the installer",
       Good([](Scenario& s) { s.downloads = {{kCannotConnect, 0, false}, {kCannotConnect, 200, true}}; }), L"", 0,
       Downloading() + Retry(1, "error code 2148270084", 1) + Retry(2, "no data for too long", 3) +
           LaunchedAfterDownload() + Succeeded()},
      {"the file cannot be opened", Good([](Scenario& s) { s.crc.reset(); }), L"", 5,
       Downloading() + Downloaded() + Lines{"ERROR Failed to open the file"} +
           FailedWith("Cannot obtain installer. Error code 5")},
      {"checksum mismatch", Good([](Scenario& s) { s.crc = 2; }), L"", 6,
       Downloading() + Downloaded() + Lines{"ERROR Mismatch of the wrapper checksum"} +
           FailedWith("The installation file is corrupted. Error code 6")},
      {"checksum mismatch comes first, whatever the sha256",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.crc = 2;
       }),
       L"", 6,
       Downloading() + Downloaded() + Lines{"ERROR Mismatch of the wrapper checksum"} +
           FailedWith("The installation file is corrupted. Error code 6")},
      {"sha256 mismatch with a matching checksum",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.sha256 = Sha256Of("abd", 3);
       }),
       L"", 6,
       Downloading() + Downloaded() + Lines{"ERROR Mismatch of the wrapper SHA-256"} +
           FailedWith("The installation file is corrupted. Error code 6")},
      {"sha256 match runs the installer",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.sha256 = Sha256Of("abc", 3);
       }),
       L"", 0, Launched() + Succeeded()},
      {"without a sha256 in the document the file's SHA-256 is not compared",
       Good([](Scenario& s) { s.sha256 = Sha256Of("abd", 3); }), L"", 0, Launched() + Succeeded()},
      {"no installation id", Good([](Scenario& s) { s.uuidText.reset(); }), L"", 7,
       Downloading() + Downloaded() +
           Lines{"INFO Checksum is OK. Continue...", "ERROR Unable to create an installation id. Error code 1717", } + Removed() +
           FailedWith("Cannot run installer. Error code 7")},
      {"the installer cannot start", Good([](Scenario& s) { s.launchFails = true; }), L"", 7,
       Without(Launched(), 2) +
           Lines{std::string("ERROR Unable to run installer ") + kPath + ". Error code 193", } + Removed() +
           FailedWith("Cannot run installer. Error code 7")},
      {"no exit code", Good([](Scenario& s) { s.waitFails = true; }), L"", 7,
       Launched() +
           Lines{"ERROR Unable to read the installer's exit code. Error code 6", } + Removed() +
           FailedWith("Cannot run installer. Error code 7")},
      {"success without a shortcut", Good(), L"/S", 0,
       Launched("/S") + Succeeded()},
      {"success removes the shortcut",
       Good([](Scenario& s) { s.shortcutExists = true; }), L"", 0,
       Launched() +
           Lines{"INFO Installer execution has successfully completed",
                 std::string("INFO Attempting to delete shortcut \"") + kLink + "\"", std::string("delete ") + kLink,
                 std::string("INFO \"") + kLink + "\" deleted"} +
           Finished()},
      {"success with a shortcut and an installer that cannot be deleted",
       Good([](Scenario& s) {
         s.shortcutExists = true;
         s.undeletable = {L"C:\\Desk\\Continue installation.lnk", L"C:\\T\\orv0a1b2c3d\\orv1.tmp.exe"};
       }),
       L"", 0,
       Launched() +
           Lines{"INFO Installer execution has successfully completed",
                 std::string("INFO Attempting to delete shortcut \"") + kLink + "\"", std::string("delete ") + kLink,
                 std::string("WARNING Unable to delete \"") + kLink + "\" shortcut. Error code 5", "unlock",
                 "delete C:\\T\\orv0a1b2c3d\\orv1.tmp.exe",
                 std::string("WARNING Unable to delete installer from temp directory ") + kPath + ". Error code 5",
                 "INFO Tavlin wrapper exiting", "release"}},
      {"cancelled (2) leaves the copy and the shortcut", Good([](Scenario& s) { s.exitCode = 2; }), L"", 2,
       Launched() + Cancelled(2) + ResumeCopy() +
           Lines{std::string("INFO Successfully created shortcut \"") + kLink + "\""} + Finished()},
      {"cancelled (5) with -ns leaves nothing", Good([](Scenario& s) { s.exitCode = 5; }), L"-NS", 5,
       Launched("-NS") + Cancelled(5) + Finished()},
      {"cancelled without the flag leaves nothing",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.config = L"{\"shortcut\": false, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 1,"
                    L" \"version\": \"4.1\"}";
       }),
       L"", 2, Launched() + Cancelled(2) + Finished()},
      {"cancelled run of the copy itself copies nothing",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.ownPath = L"C:\\P\\Orvandel Setup\\orvdl_setup.exe";
       }),
       L"", 2, Launched() + Cancelled(2) + Finished()},
      {"cancelled run of the copy under another spelling copies nothing",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.ownPath = L"C:\\PROGRA~1\\ORVAND~1\\ORVDL_~1.EXE";
         s.runsFromCopy = true;
       }),
       L"", 2, Launched() + Cancelled(2) + Finished()},
      {"cancelled, the copy's folder cannot be made administrators-only",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.resumeFolderRefused = true;
       }),
       L"", 2,
       Launched() + Cancelled(2) +
           Lines{"INFO Copy wrapper to temp directory", kSecure,
                 "ERROR Failed to copy the wrapper into \"C:\\P\\Orvandel Setup\\orvdl_setup.exe\". Error code 5"} +
           Finished()},
      {"cancelled, the copy fails",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.copyFails = true;
       }),
       L"", 2,
       Launched() + Cancelled(2) +
           Lines{"INFO Copy wrapper to temp directory", kSecure, "copy D:\\dl\\orvsetup.exe -> C:\\P\\Orvandel Setup\\orvdl_setup.exe",
                 "ERROR Failed to copy the wrapper into \"C:\\P\\Orvandel Setup\\orvdl_setup.exe\". Error code 32"} +
           Finished()},
      {"cancelled, the shortcut fails",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.linkFails = true;
       }),
       L"", 2,
       Launched() + Cancelled(2) + ResumeCopy() +
           Lines{std::string("ERROR Unable to create shortcut \"") + kLink + "\". Error code 80"} + Finished()},
      {"failed sends the hit", Good([](Scenario& s) { s.exitCode = 3221225477u; }), L"", 3221225477u,
       Launched() +
           Lines{"INFO Installer execution failed. Exit code 3221225477", "INFO Sending failed hit to Piwik",
                 std::string("hit https://stats.example/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=") + kId +
                     "&e_c=Undetermined&e_a=Failed&e_n=3221225477",
                 "INFO Sent failed hit to Piwik"} +
           Finished()},
      {"pinned publisher: its signature runs the installer",
       Good([](Scenario& s) {
         s.pin = kPin;
         s.signature = Signed(kPin);
       }),
       L"", 0, PinnedLaunch() + Succeeded()},
      {"pinned publisher: another signer is code 6",
       Good([](Scenario& s) {
         s.pin = kPin;
         s.signature = Signed(Sha256Of("abc", 3));
       }),
       L"", 6,
       Downloading() + Downloaded() +
           Lines{"signature C:\\T\\orv0a1b2c3d\\orv1.tmp.exe",
                 "ERROR Mismatch of the wrapper publisher: signed by another publisher (certificate SHA-256 "
                 "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad)"} +
           FailedWith("The installation file is corrupted. Error code 6")},
      {"pinned publisher: checked after the sha256, which fails first",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.sha256 = Sha256Of("abd", 3);
         s.pin = kPin;
         s.signature = Signed(kPin);
       }),
       L"", 6,
       Downloading() + Downloaded() + Lines{"ERROR Mismatch of the wrapper SHA-256"} +
           FailedWith("The installation file is corrupted. Error code 6")},
  };
  for (const Case& c : cases) {
    RecordingEffects effects(c.scenario);
    RunSettings settings{c.commandLine, L"http://w/installation-cancelled/?v=", L"stats.example", c.scenario.pin};
    EXPECT_EQ(SetupRun(effects, settings), c.exitCode) << c.name;
    EXPECT_EQ(Join(effects.trace), Join(c.expected)) << c.name;
  }
}
