// A stand-in for the real installer, for the demo and the end-to-end tests. It records the
// command line it was started with and exits with a chosen code.
//
//   ORV_DEMO_RECORD     file that receives the command line (UTF-8, replaced on every run);
//                       default: "orv_demo_installer.txt" next to this program.
//   ORV_DEMO_EXIT_CODE  exit code in unsigned decimal (0 to 4294967295); when unset, the first
//                       line of "orv_demo_exit_code.txt" next to this program; else 0.
//   ORV_DEMO_PLACE      file that receives where it runs, one line each (UTF-8): its current
//                       folder, TEMP, TMP and the temporary folder the system gives it.
//   ORV_DEMO_WAIT_FOR   file whose appearance it waits for (at most 60 s) before it exits, after
//                       the record: a test acts while the installer runs.
//   ORV_DEMO_ENVIRONMENT  file that receives its whole environment, one "name=value" a line
//                       (UTF-8), as the platform hands it out.
//
// The command line also goes to standard output. A record that cannot be written, or an exit
// code that is not a number, is reported on standard error and gives exit code 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <string>

#include "text/utf8.h"

namespace {
using namespace orv;

std::wstring Environment(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, &value[0], needed);
  if (written == 0 || written >= needed) return {};
  value.resize(written);
  return value;
}

// This program's folder, ending in a backslash.
std::wstring OwnFolder() {
  std::wstring path(32768, L'\0');
  const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(written < path.size() ? written : 0);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(needed, L'\0');
  const DWORD written = needed ? GetCurrentDirectoryW(needed, &folder[0]) : 0;
  folder.resize(written < needed ? written : 0);
  return folder;
}

std::wstring SystemTempFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD written = GetTempPathW(MAX_PATH + 1, folder);
  return written > 0 && written <= MAX_PATH ? folder : L"";
}

// False when the place file cannot be written.
bool RecordPlace(const std::wstring& path) {
  std::ofstream place(path.c_str(), std::ios::binary | std::ios::trunc);
  for (const std::wstring& line : {CurrentFolder(), Environment(L"TEMP"), Environment(L"TMP"), SystemTempFolder()}) {
    place << ToUtf8(line) << "\n";
  }
  place.flush();
  return static_cast<bool>(place);
}

// False when the environment file cannot be written.
bool RecordEnvironment(const std::wstring& path) {
  wchar_t* const block = GetEnvironmentStringsW();
  if (block == nullptr) return false;
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) file << ToUtf8(entry) << "\n";
  FreeEnvironmentStringsW(block);
  file.flush();
  return static_cast<bool>(file);
}

// Waits until path exists, for at most a minute.
void WaitFor(const std::wstring& path) {
  for (int i = 0; i < 600 && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
}

bool ParseExitCode(const std::string& text, DWORD& code) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  size_t end = text.find_last_not_of(" \t\r\n");
  if (begin == std::string::npos) return false;
  const std::string digits = text.substr(begin, end - begin + 1);
  if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
  if (value > 0xFFFFFFFFull) return false;
  code = static_cast<DWORD>(value);
  return true;
}

}  // namespace

int wmain() {
  const std::string commandLine = ToUtf8(GetCommandLineW());
  std::printf("Demo installer started with: %s\n", commandLine.c_str());

  std::wstring recordPath = Environment(L"ORV_DEMO_RECORD");
  if (recordPath.empty()) recordPath = OwnFolder() + L"orv_demo_installer.txt";
  {
    std::ofstream record(recordPath.c_str(), std::ios::binary | std::ios::trunc);
    record << commandLine;
    record.flush();
    if (!record) {
      std::fprintf(stderr, "Cannot write the record file %s\n", ToUtf8(recordPath).c_str());
      return 1;
    }
  }

  const std::wstring placePath = Environment(L"ORV_DEMO_PLACE");
  if (!placePath.empty() && !RecordPlace(placePath)) {
    std::fprintf(stderr, "Cannot write the place file %s\n", ToUtf8(placePath).c_str());
    return 1;
  }
  const std::wstring environmentPath = Environment(L"ORV_DEMO_ENVIRONMENT");
  if (!environmentPath.empty() && !RecordEnvironment(environmentPath)) {
    std::fprintf(stderr, "Cannot write the environment file %s\n", ToUtf8(environmentPath).c_str());
    return 1;
  }
  const std::wstring waitFor = Environment(L"ORV_DEMO_WAIT_FOR");
  if (!waitFor.empty()) WaitFor(waitFor);

  std::string codeText = ToUtf8(Environment(L"ORV_DEMO_EXIT_CODE"));
  std::string source = "ORV_DEMO_EXIT_CODE";
  if (codeText.empty()) {
    const std::wstring codePath = OwnFolder() + L"orv_demo_exit_code.txt";
    std::ifstream file(codePath.c_str(), std::ios::binary);
    if (!file) {
      std::printf("Demo installer exits with 0\n");
      return 0;
    }
    std::getline(file, codeText);
    source = ToUtf8(codePath);
  }
  DWORD code = 0;
  if (!ParseExitCode(codeText, code)) {
    std::fprintf(stderr, "The exit code in %s is not a number from 0 to 4294967295: %s\n", source.c_str(),
                 codeText.c_str());
    return 1;
  }
  std::printf("Demo installer exits with %lu\n", static_cast<unsigned long>(code));
  std::fflush(stdout);
  ExitProcess(code);
}
