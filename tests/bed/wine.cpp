#include "wine.h"

#include "wine_slot.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace bed {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

Bed LoadBed() {
  Bed bed;
  bed.slot = EnterGivenSlot(bed.slotError);
  bed.winBuild = EnvOr("ORV_WIN_BUILD", "");
  bed.arch = EnvOr("ORV_WINE_ARCH", "i686");
  bed.wine = EnvOr("ORV_WINE", "wine");
  bed.productExe = EnvOr("ORV_PRODUCT_EXE", "");
  bed.prefix = EnvOr("WINEPREFIX", "");
  bed.certs = EnvOr("ORV_TESTBED_CERTS", "");
  bed.out = EnvOr("ORV_TESTBED_OUT", "/tmp");
  bed.user = EnvOr("USER", "");
  if (bed.user.empty()) bed.user = EnvOr("LOGNAME", "root");
  return bed;
}

}  // namespace

const Bed& GetBed() {
  static const Bed bed = LoadBed();
  return bed;
}

namespace {
// The slot is entered before main, while the process has one thread: it changes the environment.
[[maybe_unused]] const bool kSlotEntered = !GetBed().slot.empty();
}  // namespace

bool BedReady(std::string& error) {
  const Bed& bed = GetBed();
  if (!bed.slotError.empty()) {
    error = bed.slotError;
    return false;
  }
  if (bed.winBuild.empty() || bed.prefix.empty() || bed.certs.empty()) {
    error = "ORV_WIN_BUILD, WINEPREFIX and ORV_TESTBED_CERTS must be set (run scripts/test.sh)";
    return false;
  }
  return true;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs,
                         const std::map<std::string, std::string>& env) {
  ProcessResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);

  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) merged[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [key, value] : env) merged[key] = value;
  std::vector<std::string> envStrings;
  for (const auto& [key, value] : merged) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& s : args) argp.push_back(s.data());
  argp.push_back(nullptr);

  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argp[0], &actions, &attr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    result.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

ProcessResult RunWine(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                      const std::map<std::string, std::string>& env) {
  const std::string path = program.find('/') == std::string::npos ? GetBed().winBuild + "/tests/" + program : program;
  std::vector<std::string> argv{GetBed().wine, path};
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> all{{"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"}};
  for (const auto& [key, value] : env) all[key] = value;
  return RunProcess(argv, timeoutMs, all);
}

std::string WinPath(const std::string& unixPath) {
  std::string out = "Z:";
  for (const char c : unixPath) out += c == '/' ? '\\' : c;
  return out;
}

std::string UserDir() { return GetBed().prefix + "/drive_c/users/" + GetBed().user; }
std::string AppDataDir() { return UserDir() + "/AppData/Roaming"; }
std::string TempDir() { return UserDir() + "/Temp"; }
std::string DesktopDir() {
  const std::string link = UserDir() + "/Desktop";
  char resolved[PATH_MAX];
  return realpath(link.c_str(), resolved) ? std::string(resolved) : link;
}
std::string LogFile() { return AppDataDir() + "/Tavlin/ORVD.log"; }

namespace {
std::string ProgramFilesName() {
  const bool wow64 = GetBed().arch == "i686" && FileExists(GetBed().prefix + "/drive_c/Program Files (x86)");
  return wow64 ? "Program Files (x86)" : "Program Files";
}
}  // namespace

std::string ResumeDir() { return GetBed().prefix + "/drive_c/" + ProgramFilesName() + "/Orvandel Setup"; }
std::string ResumeCopyWinPath() { return "C:\\" + ProgramFilesName() + "\\Orvandel Setup\\orvdl_setup.exe"; }

bool ReadFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  content = buffer.str();
  return true;
}

bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out.flush());
}

bool FileExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::vector<std::string> ListFiles(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

}  // namespace bed
