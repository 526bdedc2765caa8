#pragma once
#include <map>
#include <string>
#include <vector>

namespace bed {

// Where the test bed lives; read from the environment that scripts/test.sh sets:
// ORV_WIN_BUILD (the cross build of the test programs), ORV_WINE_ARCH (its architecture),
// ORV_WINE (the Wine loader that runs it), ORV_PRODUCT_EXE (the shipped 32-bit program),
// WINEPREFIX, ORV_TESTBED_CERTS, ORV_TESTBED_OUT (artefacts).
// A test that ctest runs in a Wine slot (resource "wine", see wine_slot.h) takes the slot's
// prefix, home, display and artefact folder instead, for itself and every program it starts.
struct Bed {
  std::string winBuild;
  std::string arch;  // "i686" or "x86_64"
  std::string wine;  // the loader: "wine", or /usr/lib/wine/wine64 for 64-bit Wine
  std::string productExe;
  std::string prefix;
  std::string certs;
  std::string out;
  std::string user;  // the prefix user's name (the Unix user)
  std::string slot;  // the Wine slot's id, or empty outside a slotted run
  std::string slotError;  // why the slot given by ctest could not be taken, or empty
};

// The bed, or a failed test assertion message in error when a variable is missing.
const Bed& GetBed();
[[nodiscard]] bool BedReady(std::string& error);

struct ProcessResult {
  int status = -1;        // exit status (low 8 bits under Wine), or -1
  bool timedOut = false;  // killed after the time-out
  std::string out;        // standard output
  std::string err;        // standard error
};

// Runs argv (argv[0] found on PATH) with extra environment variables; kills it after timeoutMs.
ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs,
                         const std::map<std::string, std::string>& env = {});

// Runs a Windows program of the cross build's tests folder (or a full Unix path) under Wine.
ProcessResult RunWine(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 120000,
                      const std::map<std::string, std::string>& env = {});

// The Windows form (Z:\...) of a Unix path.
std::string WinPath(const std::string& unixPath);

// Unix paths inside the prefix for the user's folders.
std::string UserDir();     // drive_c/users/<user>
std::string AppDataDir();  // ...\AppData\Roaming
std::string TempDir();     // the user's temporary folder, as GetTempPathW gives it
std::string DesktopDir();  // the user's desktop folder (resolved link)
std::string LogFile();     // ...\AppData\Roaming\Tavlin\ORVD.log
std::string ResumeDir();   // drive_c/<program files>/Orvandel Setup: the resume copy's folder

// The resume copy's path as the stub names it: in "Program Files (x86)" for a 32-bit stub in a
// 64-bit prefix.
std::string ResumeCopyWinPath();

// Whole-file helpers.
[[nodiscard]] bool ReadFile(const std::string& path, std::string& content);
[[nodiscard]] bool WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
void RemoveFile(const std::string& path);
// Names in dir that start with prefix.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& prefix = "");

}  // namespace bed
