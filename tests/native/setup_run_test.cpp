// The whole run, driven through a recording fake of its ports: every error code, every outcome,
// retries, the order of the log lines, boxes and effects, and the clean-up on every way out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "main/command_line.h"
#include "main/setup_run.h"
#include "main/silent_user_interface.h"
#include "recording_ports.h"

namespace orv_test {
namespace {

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
// The good document with "sha256", a size and two mirrors.
const std::wstring kMirrorConfig =
    L"{\"shortcut\": true, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 1, \"version\": \"4.1\","
    L" \"sha256\": \"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\", \"size\": 1000,"
    L" \"mirrors\": [\"https://m1.example.net/i.exe\", \"http://m2.example.org/i.exe\"]}";
const char kFolder[] = "C:\\P\\Orvandel Setup\\run0a1b2c3d\\";
const char kFile[] = "C:\\P\\Orvandel Setup\\run0a1b2c3d\\orv1.tmp.exe";
const std::string kPath = std::string("\"") + kFile + "\"";
const char kId[] = "6ba7b810-9dad-11d1-80b4-00c04fd430c8";
const char kLink[] = "C:\\Desk\\Continue installation.lnk";
const char kSecure[] = "secure C:\\P\\Orvandel Setup\\";
const char kCopy[] = "C:\\P\\Orvandel Setup\\orvdl_setup.exe";

// The ends of the owning objects that outlive the download: the stub's own file, the guard.
Lines Released() { return {"let own image go", "release"}; }
Lines Started() {
  return {"claim", "start logging", "INFO Tavlin wrapper started", "hold own image", "INFO Downloading config file",
          "fetch config"};
}
Lines Parsed() { return Started() + Lines{"INFO Config file has been downloaded successfully", "INFO Parsing config file"}; }
Lines Attempt() { return {std::string("download https://dl.example.com/i.exe?rn=7 -> ") + kFile}; }
Lines Downloading() {
  return Parsed() + Lines{"dialog start", "INFO Downloading wrapper", "make folder", "create file"} + Attempt();
}
Lines Downloaded() {
  return Lines{"transfer end", "dialog end", "INFO Wrapper successfully downloaded to " + kPath,
               std::string("check ") + kFile};
}
// The installer and the run's folder deleted.
Lines Removed() {
  return {std::string("delete ") + kFile, "INFO " + kPath + " deleted", "remove folder",
          std::string("INFO Download folder \"") + kFolder + "\" deleted"};
}
Lines Finished() { return Removed() + Lines{"INFO Tavlin wrapper exiting"} + Released(); }
std::string Parameters(const std::string& commandLine = "") {
  return std::string("-id ") + kId + " -v \"4.1\" " + commandLine;
}
Lines Launching(const std::string& commandLine = "") {
  return {"INFO Checksum is OK. Continue...",
          std::string("INFO Launching installer \"") + kFile + " " + Parameters(commandLine) + "\"",
          std::string("start ") + kFile + " " + Parameters(commandLine) + " in " + kFolder, "unlock"};
}
Lines LaunchedAfterDownload(const std::string& commandLine = "") {
  return Downloaded() + Launching(commandLine) + Lines{"INFO Waiting for installer to complete...", "wait"};
}
Lines Launched(const std::string& commandLine = "") { return Downloading() + LaunchedAfterDownload(commandLine); }
const Sha256Digest kPin = Sha256Of("publisher", 9);
// The installer's signature read and found to be the pinned publisher's; then the usual launch.
Lines PinnedLaunch() {
  Lines lines = Launched();
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(Downloading().size() + Downloaded().size()),
               {std::string("signature ") + kFile, "INFO Wrapper signed by the pinned publisher"});
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
Lines FailedWith(const std::string& box) { return Lines{"box " + box} + Released(); }
// A failed download: the box while the dialog is up, then the run's folder and the dialog go.
Lines DownloadFails() {
  return Lines{"transfer end", "ERROR Can't download wrapper to " + kPath, "box Cannot obtain installer. Error code 4",
               "remove folder and its files", "dialog end"} +
         Released();
}
// The file kept for inspection, the box, then the hold on the file ends.
Lines CorruptAfterCheck(const std::string& error) {
  return Lines{"ERROR " + error, "keep folder", "box The installation file is corrupted. Error code 6", "unlock"} +
         Released();
}
Lines Retry(int attempt, const std::string& reason, int seconds) {
  return Lines{"WARNING Download attempt " + std::to_string(attempt) + " of 3 failed (" + reason + "). Trying again in " +
                   std::to_string(seconds) + " s",
               "pause " + std::to_string(seconds * 1000)} +
         Attempt();
}
// The user closed the dialog: the attempt ends, one line, then every owning object ends, without a box.
Lines ClosedByUser() {
  return Lines{"transfer end", "INFO Download closed by the user", "remove folder and its files", "dialog end"} +
         Released();
}
// An attempt that ended as end says, having left fileBytes of total in the file, for reason.
AttemptReport Ended(AttemptEnd end, const std::string& reason, uint64_t fileBytes = 0,
                    std::optional<uint64_t> total = std::nullopt) {
  AttemptReport report;
  report.end = end;
  report.fileBytes = fileBytes;
  report.total = total;
  if (!reason.empty()) report.failure = Status::Failure(0, reason);
  return report;
}
AttemptReport Broke(const std::string& reason, uint64_t fileBytes = 0, std::optional<uint64_t> total = std::nullopt) {
  return Ended(AttemptEnd::Interrupted, reason, fileBytes, total);
}
Lines Cancelled(uint32_t code) {
  return {"INFO Installer execution canceled. Exit code " + std::to_string(code),
          "INFO Navigating user to cancellation page", "page http://w/installation-cancelled/?v=4.1"};
}
Lines ResumeCopy() {
  return {"INFO Copy wrapper to temp directory", kSecure, std::string("copy own image -> ") + kCopy,
          std::string("INFO Wrapper successfully copied to \"") + kCopy + "\"",
          std::string("INFO Attempting to create shortcut \"") + kLink + "\"",
          std::string("link ") + kLink + " -> " + kCopy};
}

// A silent run's reason, right after the start line.
const char kSilentBySwitch[] = "INFO Silent run: -silent on the command line. No progress dialog and no error box";
const char kSilentByStation[] =
    "INFO Silent run: the window station \"Service-0x0-3e7$\" is not visible to a user (a service or the system "
    "account). No progress dialog and no error box";
Lines SaidAtStart(const std::string& line, Lines lines) {
  lines.insert(lines.begin() + 3, line);
  return lines;
}
// A silent run's lines: no dialog, and the box's text in the log in place of the box.
Lines Silent(const Lines& lines) {
  Lines silent;
  for (const std::string& line : lines) {
    if (line == "dialog start" || line == "dialog end") continue;
    silent.push_back(line.rfind("box ", 0) == 0 ? "ERROR Error box not shown in a silent run: " + line.substr(4) : line);
  }
  return silent;
}
const WindowStation kServiceStation{L"Service-0x0-3e7$", 0};

// Runs with an offline folder: the layout's "D:\lay", the source's "D:\src". The document a signed
// build takes: "abc" as the installer, serial 7, signed by kOfflineKey.
const std::string kGoodConfigBytes =
    "{\"shortcut\": true, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 1, \"version\": \"4.1\","
    " \"sha256\": \"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\", \"size\": 3,"
    " \"product\": \"Orvandel\", \"serial\": 7, \"expires\": \"2030-01-01T00:00:00Z\"}";
const P256PublicKey kOfflineKey{4, 9};
const std::string kGoodSignature = RecordingPorts::FakeSignatureDocument(kGoodConfigBytes, {kOfflineKey});
const char kFolderBox[] = "box Cannot use the installation folder. Error code 8";
Lines Held() { return {"claim", "start logging", "INFO Tavlin wrapper started", "hold own image"}; }
// The offline folder goes first, then the stub's own file and the guard.
Lines FolderReleased() { return Lines{"let folder go"} + Released(); }
// The signed document accepted: the key named, its serial kept as the highest.
Lines SignedAccepted() {
  return {"INFO Parsing config file", "INFO Configuration signed by key " + ConfigKeyId(kOfflineKey),
          "read serial Orvandel", "write serial Orvandel 7"};
}
Lines LayoutStarted() {
  return Held() + Lines{"INFO Writing an offline layout into \"D:\\lay\"", "open folder D:\\lay (made when missing)",
                        "INFO Downloading config file", "fetch config",
                        "INFO Config file has been downloaded successfully", "INFO Downloading config signature",
                        "fetch signature"} +
         SignedAccepted();
}
Lines LayoutDownloaded() {
  return LayoutStarted() + Lines{"dialog start", "INFO Downloading wrapper", "make folder", "create file"} + Attempt() +
         Downloaded() + Lines{"INFO Checksum is OK. Continue..."};
}
Lines LayoutWrites() {
  return {"write new D:\\lay\\orv.json: " + kGoodConfigBytes,
          "INFO Written \"D:\\lay\\orv.json\"",
          "write new D:\\lay\\orv.json.sig: " + kGoodSignature,
          "INFO Written \"D:\\lay\\orv.json.sig\"",
          std::string("copy ") + kFile + " as new -> D:\\lay\\installer.exe",
          "INFO Written \"D:\\lay\\installer.exe\"",
          "copy own image as new -> D:\\lay\\orvsetup.exe",
          "INFO Written \"D:\\lay\\orvsetup.exe\"",
          "INFO Offline layout written to \"D:\\lay\"; nothing started"};
}
Lines SourceRead() {
  return Held() + Lines{"INFO Installing from the folder \"D:\\src\" without the network: no analytics hit, no "
                        "cancellation page, no resume copy or shortcut",
                        "open folder D:\\src", "INFO Reading config file \"D:\\src\\orv.json\"",
                        "read D:\\src\\orv.json up to 16777216", "read D:\\src\\orv.json.sig up to 4096"};
}
Lines SourceCopied() {
  return SourceRead() + SignedAccepted() +
         Lines{"INFO Copying wrapper from \"D:\\src\\installer.exe\"", "make folder", "create file",
               "copy D:\\src\\installer.exe into the download file, up to 4"};
}
Lines SourceLaunched(const std::string& commandLine = "") {
  return SourceCopied() + Lines{"INFO Wrapper successfully copied to " + kPath, std::string("check ") + kFile} +
         Launching(commandLine) + Lines{"INFO Waiting for installer to complete...", "wait"};
}
// The installer and the run's folder deleted, the end line, every hold let go.
Lines FolderFinished() { return Removed() + Lines{"INFO Tavlin wrapper exiting"} + FolderReleased(); }

std::string Join(const Lines& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << "\n  " << line;
  return out.str();
}

// A signed build (two built-in keys) whose signature fetch gives signature (nullopt: it fails).
Scenario Signed(std::optional<FetchedDocument> signature) {
  Scenario s;
  s.config = kGoodConfig;
  s.keys = {P256PublicKey{4, 1}, P256PublicKey{4, 2}};
  s.configSignature = std::move(signature);
  return s;
}
// The fetches of a signed build, up to the parse.
Lines SignedFetched() {
  return Started() + Lines{"INFO Config file has been downloaded successfully", "INFO Downloading config signature",
                           "fetch signature"};
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

// A signed build, its offline source folder holding the good document, a signature and an installer.
template <typename Change>
Scenario Offline(Change change) {
  Scenario s = Good();
  s.keys = {kOfflineKey};
  s.config = FromUtf8(kGoodConfigBytes);
  s.configSignature = FetchedDocument{200, kGoodSignature};
  s.sha256 = Sha256Of("abc", 3);
  s.size = 3;
  s.folderFiles = {{L"orv.json", kGoodConfigBytes}, {L"orv.json.sig", kGoodSignature}, {L"installer.exe", "abc"}};
  change(s);
  return s;
}
Scenario Offline() {
  return Offline([](Scenario&) {});
}

}  // namespace

TEST(SetupRun, EveryCodeAndOutcomeGivesItsLinesBoxesAndEffectsInOrder) {
  const Case cases[] = {
      {"another stub runs", Good([](Scenario& s) { s.anotherStubRuns = true; }), L"", 0, {"claim"}},
      {"configuration fetch fails", Good([](Scenario& s) { s.config.reset(); }), L"", 1,
       Started() + Lines{"ERROR Can't download config file"} +
           FailedWith("Cannot obtain configuration. Error code 1")},
      {"a refused exchange names why before the run's line",
       Good([](Scenario& s) {
         s.config.reset();
         s.refusal = "redirect to http://h/orv.json refused: a redirect from https to http";
       }),
       L"", 1,
       Started() + Lines{"ERROR redirect to http://h/orv.json refused: a redirect from https to http",
                         "ERROR Can't download config file"} +
           FailedWith("Cannot obtain configuration. Error code 1")},
      {"configuration is not JSON", Good([](Scenario& s) { s.config = L"<html>"; }), L"", 3,
       Parsed() +
           Lines{"ERROR Error parsing file. Error: syntax error while parsing value - invalid literal; last read: "
                 "'<' at line 1, column 1"} +
           FailedWith("Cannot obtain configuration. Error code 3")},
      {"signed build: the signature cannot be fetched", Signed(std::nullopt), L"", 1,
       SignedFetched() + Lines{"ERROR Can't download config file"} +
           FailedWith("Cannot obtain configuration. Error code 1")},
      {"signed build: the signature answers an HTTP error", Signed(FetchedDocument{404, "Not Found"}), L"", 3,
       SignedFetched() + Lines{"ERROR Configuration signature refused: the server answered HTTP status 404"} +
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
      {"no run folder can be made", Good([](Scenario& s) { s.folder.clear(); }), L"", 4,
       Parsed() + Lines{"dialog start", "INFO Downloading wrapper", "make folder",
                        "ERROR Can't create a download folder in \"C:\\P\\Orvandel Setup\\\". Error code 5",
                        "box Cannot obtain installer. Error code 4", "dialog end"} +
           Released()},
      {"no download file can be made: the folder goes too", Good([](Scenario& s) { s.noDownloadFile = true; }), L"", 4,
       Parsed() + Lines{"dialog start", "INFO Downloading wrapper", "make folder", "create file",
                        std::string("ERROR Can't make a download file in ") + kFolder + ". Error code 80",
                        "box Cannot obtain installer. Error code 4", "remove folder and its files", "dialog end"} +
           Released()},
      {"old run folders are removed once the run's own is made",
       Good([](Scenario& s) {
         s.oldFolders = {{L"C:\\P\\Orvandel Setup\\orv00000001", Status()},
                         {L"C:\\P\\Orvandel Setup\\orv00000002", Status::Failure(5, "Cannot remove")}};
       }),
       L"", 0,
       Parsed() +
           Lines{"dialog start", "INFO Downloading wrapper", "make folder",
                 "INFO Old download folder \"C:\\P\\Orvandel Setup\\orv00000001\" deleted",
                 "WARNING Unable to delete old download folder \"C:\\P\\Orvandel Setup\\orv00000002\". Error code 5",
                 "create file"} +
           Attempt() + LaunchedAfterDownload() + Succeeded()},
      {"the run's folder stays", Good([](Scenario& s) { s.folderStays = true; }), L"", 0,
       Launched() + Lines{"INFO Installer execution has successfully completed"} + Without(Removed(), 1) +
           Lines{std::string("WARNING Unable to delete download folder \"") + kFolder + "\". Error code 145",
                 "INFO Tavlin wrapper exiting", "remove folder and its files"} +
           Released()},
      {"404 is not retried; the folder goes after the box",
       Good([](Scenario& s) { s.downloads = {Ended(AttemptEnd::Refused, "HTTP status 404")}; }), L"", 4,
       Downloading() + Lines{"ERROR Download attempt 1 of 3 failed (HTTP status 404)"} + DownloadFails()},
      {"503 three times",
       Good([](Scenario& s) { s.downloads = {Broke("HTTP status 503"), Broke("HTTP status 503"), Broke("HTTP status 503")}; }),
       L"", 4,
       Downloading() + Retry(1, "HTTP status 503", 1) + Retry(2, "HTTP status 503", 3) +
           Lines{"ERROR Download attempt 3 of 3 failed (HTTP status 503)"} + DownloadFails()},
      {"503 twice, then the installer",
       Good([](Scenario& s) { s.downloads = {Broke("HTTP status 503"), Broke("HTTP status 503")}; }), L"", 0,
       Downloading() + Retry(1, "HTTP status 503", 1) + Retry(2, "HTTP status 503", 3) + LaunchedAfterDownload() +
           Succeeded()},
      {"a refused connection, then a stall, then the installer",
       Good([](Scenario& s) { s.downloads = {Broke("error code 12029"), Broke("no data for too long")}; }), L"", 0,
       Downloading() + Retry(1, "error code 12029", 1) + Retry(2, "no data for too long", 3) +
           LaunchedAfterDownload() + Succeeded()},
      {"a broken connection: the next attempt resumes",
       Good([](Scenario& s) { s.downloads = {Broke("error code 12030", 400, 1000)}; }), L"", 0,
       Downloading() +
           Lines{"WARNING Download attempt 1 of 20 broke off at 400 of 1000 bytes (error code 12030). Trying again in 1 s",
                 "pause 1000", "INFO Resuming download at 400 of 1000 bytes",
                 std::string("download https://dl.example.com/i.exe?rn=7 from byte 400 -> ") + kFile} +
           LaunchedAfterDownload() + Succeeded()},
      {"a failing wrapper address: the mirrors in turn, the bytes carried over",
       Good([](Scenario& s) {
         s.config = kMirrorConfig;
         s.sha256 = Sha256Of("abc", 3);
         s.downloads = {Ended(AttemptEnd::Refused, "HTTP status 404"), Broke("error code 12030", 600, 1000)};
       }),
       L"", 0,
       Downloading() +
           Lines{"ERROR Download attempt 1 of 3 failed (HTTP status 404)", "INFO Trying mirror https://m1.example.net/i.exe",
                 std::string("download https://m1.example.net/i.exe -> ") + kFile,
                 "WARNING Download attempt 1 of 20 broke off at 600 of 1000 bytes (error code 12030). Trying again in 1 s",
                 "pause 1000", "INFO Resuming download at 600 of 1000 bytes",
                 std::string("download https://m1.example.net/i.exe from byte 600 -> ") + kFile} +
           LaunchedAfterDownload() + Succeeded()},
      {"a refused redirect ends an address like a 4xx",
       Good([](Scenario& s) {
         s.downloads = {Ended(AttemptEnd::Refused, "redirect to http://h/i.exe refused: a redirect from https to http")};
       }),
       L"", 4,
       Downloading() +
           Lines{"ERROR Download attempt 1 of 3 failed (redirect to http://h/i.exe refused: a redirect from https to http)"} +
           DownloadFails()},
      {"the download file cannot be written", Good([](Scenario& s) {
         s.downloads = {Ended(AttemptEnd::FileFailed, "the download file cannot be written")};
       }),
       L"", 4, Downloading() + Lines{"ERROR Download stopped (the download file cannot be written)"} + DownloadFails()},
      {"the user closes the dialog during the download",
       Good([](Scenario& s) { s.downloads = {Ended(AttemptEnd::Closed, "")}; }), L"", 0,
       Downloading() + ClosedByUser()},
      {"the user closes the dialog between two attempts",
       Good([](Scenario& s) {
         s.downloads = {Broke("HTTP status 503")};
         s.closeDuringPause = true;
       }),
       L"", 0,
       Downloading() +
           Lines{"WARNING Download attempt 1 of 3 failed (HTTP status 503). Trying again in 1 s", "pause 1000"} +
           ClosedByUser()},
      {"the file cannot be opened: it is kept", Good([](Scenario& s) { s.crc.reset(); }), L"", 5,
       Downloading() + Downloaded() +
           Lines{"ERROR Failed to open the file. Error code 32", "keep folder", "box Cannot obtain installer. Error code 5"} +
           Released()},
      {"checksum mismatch: the file is kept", Good([](Scenario& s) { s.crc = 2; }), L"", 6,
       Downloading() + Downloaded() + CorruptAfterCheck("Mismatch of the wrapper checksum")},
      {"checksum mismatch comes first, whatever the sha256",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.crc = 2;
       }),
       L"", 6, Downloading() + Downloaded() + CorruptAfterCheck("Mismatch of the wrapper checksum")},
      {"sha256 mismatch with a matching checksum",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.sha256 = Sha256Of("abd", 3);
       }),
       L"", 6, Downloading() + Downloaded() + CorruptAfterCheck("Mismatch of the wrapper SHA-256")},
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
           Lines{"INFO Checksum is OK. Continue...", "ERROR Unable to create an installation id. Error code 1717",
                 "unlock"} +
           Removed() + FailedWith("Cannot run installer. Error code 7")},
      {"the installer cannot start", Good([](Scenario& s) { s.launchFails = true; }), L"", 7,
       Downloading() + Downloaded() + Launching() +
           Lines{"ERROR Unable to run installer " + kPath + ". Error code 193"} + Removed() +
           FailedWith("Cannot run installer. Error code 7")},
      {"no exit code", Good([](Scenario& s) { s.waitFails = true; }), L"", 7,
       Launched() + Lines{"ERROR Unable to read the installer's exit code. Error code 6"} + Removed() +
           FailedWith("Cannot run installer. Error code 7")},
      {"success without a shortcut", Good(), L"/S", 0, Launched("/S") + Succeeded()},
      {"success removes the shortcut", Good([](Scenario& s) { s.shortcutExists = true; }), L"", 0,
       Launched() +
           Lines{"INFO Installer execution has successfully completed",
                 std::string("INFO Attempting to delete shortcut \"") + kLink + "\"", std::string("delete ") + kLink,
                 std::string("INFO \"") + kLink + "\" deleted"} +
           Finished()},
      {"success with a shortcut and an installer that cannot be deleted: the folder is kept",
       Good([](Scenario& s) {
         s.shortcutExists = true;
         s.undeletable = {L"C:\\Desk\\Continue installation.lnk", L"C:\\P\\Orvandel Setup\\run0a1b2c3d\\orv1.tmp.exe"};
       }),
       L"", 0,
       Launched() +
           Lines{"INFO Installer execution has successfully completed",
                 std::string("INFO Attempting to delete shortcut \"") + kLink + "\"", std::string("delete ") + kLink,
                 std::string("WARNING Unable to delete \"") + kLink + "\" shortcut. Error code 5",
                 std::string("delete ") + kFile,
                 "WARNING Unable to delete installer from temp directory " + kPath + ". Error code 5", "keep folder",
                 "INFO Tavlin wrapper exiting"} +
           Released()},
      {"cancelled (2) leaves the copy and the shortcut", Good([](Scenario& s) { s.exitCode = 2; }), L"", 2,
       Launched() + Cancelled(2) + ResumeCopy() +
           Lines{std::string("INFO Successfully created shortcut \"") + kLink + "\""} + Finished()},
      {"cancelled, the page cannot be opened for the desktop's user",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.pageFails = true;
         s.config = L"{\"shortcut\": false, \"wrapper\": \"https://dl.example.com/i.exe\", \"checksum\": 1,"
                    L" \"version\": \"4.1\"}";
       }),
       L"", 2,
       Launched() + Cancelled(2) +
           Lines{"ERROR Cancellation page not opened: no desktop shell. Error code 2147500037"} + Finished()},
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
         s.runsFromCopy = true;
       }),
       L"", 2, Launched() + Cancelled(2) + Finished()},
      {"cancelled, the stub's own file could not be held: no copy",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.ownImageUnheld = true;
       }),
       L"", 2,
       [] {
         Lines lines = Launched() + Cancelled(2) +
                       Lines{"INFO Copy wrapper to temp directory",
                             std::string("ERROR Failed to copy the wrapper into \"") + kCopy + "\". Error code 6"} +
                       Finished();
         lines.insert(lines.begin() + 4, "ERROR Unable to hold the stub's own file \"D:\\dl\\orvsetup.exe\". Error code 32");
         lines.erase(lines.end() - 2);
         return lines;
       }()},
      {"cancelled, the copy's folder cannot be made administrators-only",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.resumeFolderRefused = true;
       }),
       L"", 2,
       Launched() + Cancelled(2) +
           Lines{"INFO Copy wrapper to temp directory", kSecure,
                 std::string("ERROR Failed to copy the wrapper into \"") + kCopy + "\". Error code 5"} +
           Finished()},
      {"cancelled, the copy fails",
       Good([](Scenario& s) {
         s.exitCode = 2;
         s.copyFails = true;
       }),
       L"", 2,
       Launched() + Cancelled(2) +
           Lines{"INFO Copy wrapper to temp directory", kSecure, std::string("copy own image -> ") + kCopy,
                 std::string("ERROR Failed to copy the wrapper into \"") + kCopy + "\". Error code 32"} +
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
       Downloading() + Downloaded() + Lines{std::string("signature ") + kFile} +
           CorruptAfterCheck("Mismatch of the wrapper publisher: signed by another publisher (certificate SHA-256 "
                             "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad)")},
      {"pinned publisher: checked after the sha256, which fails first",
       Good([](Scenario& s) {
         s.config = kSha256Config;
         s.sha256 = Sha256Of("abd", 3);
         s.pin = kPin;
         s.signature = Signed(kPin);
       }),
       L"", 6, Downloading() + Downloaded() + CorruptAfterCheck("Mismatch of the wrapper SHA-256")},
      {"silent: an unreachable configuration logs the box's text", Good([](Scenario& s) { s.config.reset(); }),
       L"/S -SILENT", 1,
       SaidAtStart(kSilentBySwitch,
                   Silent(Started() + Lines{"ERROR Can't download config file"} +
                          FailedWith("Cannot obtain configuration. Error code 1")))},
      {"silent on a service's window station: success", Good([](Scenario& s) { s.station = kServiceStation; }), L"",
       0, SaidAtStart(kSilentByStation, Silent(Launched() + Succeeded()))},
      {"silent for both reasons: a failed download",
       Good([](Scenario& s) {
         s.station = kServiceStation;
         s.downloads = {Ended(AttemptEnd::Refused, "HTTP status 404")};
       }),
       L"-silent", 4,
       SaidAtStart("INFO Silent run: -silent on the command line, and the window station \"Service-0x0-3e7$\" is "
                   "not visible to a user (a service or the system account). No progress dialog and no error box",
                   Silent(Downloading() + Lines{"ERROR Download attempt 1 of 3 failed (HTTP status 404)"} +
                          DownloadFails()))},
      {"silent: a cancellation opens no page and leaves the copy and the shortcut",
       Good([](Scenario& s) { s.exitCode = 2; }), L"-silent", 2,
       SaidAtStart(kSilentBySwitch,
                   Silent(Launched("-silent") +
                          Lines{"INFO Installer execution canceled. Exit code 2",
                                "INFO Cancellation page not opened in a silent run"} +
                          ResumeCopy() + Lines{std::string("INFO Successfully created shortcut \"") + kLink + "\""} +
                          Finished()))},
      {"an unreadable window station: a run with windows, and a warning",
       Good([](Scenario& s) {
         s.config.reset();
         s.station = Status::Failure(6, "Reading the window station's flags failed");
       }),
       L"", 1,
       SaidAtStart("WARNING Unable to read the window station; taken as visible. Reading the window station's "
                   "flags failed. Error code 6",
                   Started() + Lines{"ERROR Can't download config file"} +
                       FailedWith("Cannot obtain configuration. Error code 1"))},
      {"-layout in a build without configuration keys: code 8 before anything else", Good(), L"-layout D:\\lay", 8,
       Held() + Lines{"ERROR -layout and -source need a build that checks the configuration's signature", kFolderBox} +
           Released()},
      {"-source without a folder: code 8", Offline(), L"/S -source", 8,
       Held() + Lines{"ERROR Cannot use the command line: -source needs a folder after it", kFolderBox} + Released()},
      {"the layout's folder cannot be made: code 8 before the network",
       Offline([](Scenario& s) { s.folderUnusable = true; }), L"-layout D:\\lay", 8,
       Held() + Lines{"INFO Writing an offline layout into \"D:\\lay\"", "open folder D:\\lay (made when missing)",
                      "ERROR Cannot open the folder \"D:\\lay\". Error code 3", kFolderBox} +
           Released()},
      {"layout: fetched, downloaded, checked and written; nothing started", Offline(), L"-LAYOUT D:\\lay\\ /S", 0,
       LayoutDownloaded() + LayoutWrites() + Lines{"unlock"} + FolderFinished()},
      {"layout: a link planted at a name is refused: code 8, the run's folder goes",
       Offline([](Scenario& s) { s.refusedNames = {L"installer.exe"}; }), L"-layout D:\\lay", 8,
       LayoutDownloaded() + Without(LayoutWrites(), 4) +
           Lines{"ERROR Refused \"D:\\lay\\installer.exe\". Error code 1920", kFolderBox, "unlock",
                 "remove folder and its files"} +
           FolderReleased()},
      {"source: read once, copied, checked, run with the rest of the command line", Offline(),
       L"/S -source D:\\src -ns", 0,
       SourceLaunched("/S -ns") + Lines{"INFO Installer execution has successfully completed"} + FolderFinished()},
      {"source: no signature in the folder: code 8",
       Offline([](Scenario& s) { s.folderFiles.erase(L"orv.json.sig"); }), L"-source D:\\src", 8,
       SourceRead() + Lines{"ERROR Cannot open \"D:\\src\\orv.json.sig\". Error code 2", kFolderBox} +
           FolderReleased()},
      {"source: no installer in the folder: code 8, the run's folder goes",
       Offline([](Scenario& s) { s.folderFiles.erase(L"installer.exe"); }), L"-source D:\\src", 8,
       SourceCopied() + Lines{"ERROR Cannot open \"D:\\src\\installer.exe\". Error code 2", kFolderBox,
                              "remove folder and its files"} +
           FolderReleased()},
      {"source: a changed installer is code 6 and runs nothing", Offline([](Scenario& s) { s.crc = 2; }),
       L"-source D:\\src", 6,
       SourceCopied() + Lines{"INFO Wrapper successfully copied to " + kPath, std::string("check ") + kFile} +
           Without(CorruptAfterCheck("Mismatch of the wrapper checksum"), 2) + FolderReleased()},
      {"source: an installer of another size is code 6 too and runs nothing",
       Offline([](Scenario& s) { s.size = 4; }), L"-source D:\\src", 6,
       SourceCopied() + Lines{"INFO Wrapper successfully copied to " + kPath, std::string("check ") + kFile} +
           Without(CorruptAfterCheck("the installer has 4 bytes, the document's size is 3"), 2) + FolderReleased()},
      {"source: cancelled: no page, no copy, no shortcut", Offline([](Scenario& s) { s.exitCode = 2; }),
       L"-source D:\\src", 2,
       SourceLaunched() + Lines{"INFO Installer execution canceled. Exit code 2",
                                "INFO No cancellation page and no resume copy in an installation from a folder"} +
           FolderFinished()},
      {"source: failed: no hit", Offline([](Scenario& s) { s.exitCode = 1; }), L"-source D:\\src", 1,
       SourceLaunched() + Lines{"INFO Installer execution failed. Exit code 1",
                                "INFO No failed hit sent in an installation from a folder"} +
           FolderFinished()},
  };
  for (const Case& c : cases) {
    RecordingPorts fake(c.scenario);
    // As the stub's start chooses: a silent run gets the silent user interface, which logs to the fake.
    RunSettings settings{c.commandLine, L"http://w/installation-cancelled/?v=", L"stats.example", c.scenario.pin,
                         DownloadTimings{}, DecideSilent(HasSilentSwitch(c.commandLine), c.scenario.station),
                         c.scenario.keys};
    SilentUserInterface silentUi(fake);
    const RunPorts ports = fake.ports();
    const RunPorts chosen{ports.log, settings.silent.silent() ? silentUi : ports.ui, ports.network, ports.files,
                          ports.shortcuts, ports.processes, ports.trust};
    EXPECT_EQ(SetupRun(chosen, settings), c.exitCode) << c.name;
    EXPECT_EQ(Join(fake.trace), Join(c.expected)) << c.name;
  }
}

}  // namespace orv_test
