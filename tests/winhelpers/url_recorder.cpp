// Registered as a test prefix's http handler (HKLM\Software\Classes\http\shell\open\command,
// value "<this program>" "%1"), it stands in for the browser: every address it is started with
// is appended, one line each (UTF-8, LF), to the file named by the registry value
// HKCU\Software\OrvandelTestBed\UrlRecord (which orvwatch sets: the shell may start this program
// from the desktop's process, whose environment is not the stub's), else by ORV_URL_RECORD, or to
// "url_recorder.txt" next to this program. Exit code 0 when the line was written, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/unique_handle.h"
#include "text/utf8.h"

namespace {
using namespace orv;

std::wstring RecordPath() {
  wchar_t published[32768] = {};
  DWORD size = sizeof(published) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\OrvandelTestBed", L"UrlRecord", RRF_RT_REG_SZ, nullptr, published,
                   &size) == ERROR_SUCCESS &&
      published[0] != L'\0') {
    return published;
  }
  const DWORD needed = GetEnvironmentVariableW(L"ORV_URL_RECORD", nullptr, 0);
  if (needed > 0) {
    std::wstring value(needed, L'\0');
    const DWORD written = GetEnvironmentVariableW(L"ORV_URL_RECORD", &value[0], needed);
    if (written > 0 && written < needed) {
      value.resize(written);
      return value;
    }
  }
  std::wstring path(32768, L'\0');
  const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(written < path.size() ? written : 0);
  const size_t slash = path.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"url_recorder.txt";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += L' ';
    line += argv[i];
  }
  const std::string bytes = ToUtf8(line) + "\n";
  const std::wstring path = RecordPath();
  // Appending writes of one line each stay whole when two handlers run at once.
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    std::fprintf(stderr, "Cannot append to %s (error %lu)\n", ToUtf8(path).c_str(), GetLastError());
    return 1;
  }
  return 0;
}
