// Runs a program and watches its windows until it ends, writing what it saw to a report file:
//   orvwatch.exe --report <file> [--close-at-pos N] [--close-on-show] [--shot <file.bmp> --shot-at-pos N]
//                [--answer-after ms] [--answer-when <file>] [--timeout ms] [--hidden-station 1]
//                -- <program> [arguments...]
// --hidden-station starts the program on a window station of its own that no user sees (as a
// service's or the system account's): none of its windows can be watched or answered there.
// Report lines (UTF-8, fields separated by tabs, tabs/newlines/backslashes escaped):
//   msgbox <title> <text> <icon shown 0|1> <progress dialog visible 0|1> <style>
//   dialog <text> <style> <exstyle> <left> <top> <right> <bottom> <work left> <work top> <work right> <work bottom>
//   pos <bar position>
//   dialog-gone  (the progress dialog left the screen: hidden or destroyed)
//   closed <bar position when WM_CLOSE was sent>
//   shot <file>
//   exit <32-bit exit code in decimal>
//   error <message>
// Message boxes are answered with OK, after --answer-after milliseconds (default at once) and, with
// --answer-when, not before that file exists. The exit code of orvwatch itself is 0 when the report was written.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/unique_handle.h"
#include "base/unique_resource.h"
#include "text/utf8.h"

namespace {
using namespace orv;

std::string Escape(const std::wstring& text) {
  std::string out;
  for (const char c : ToUtf8(text)) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

struct Options {
  std::wstring report;
  int closeAtPos = -1;
  bool closeOnShow = false;
  std::wstring shot;
  int shotAtPos = -1;
  DWORD timeoutMs = 120000;
  DWORD answerAfterMs = 0;
  bool hiddenStation = false;
  std::wstring answerWhen;
  std::wstring commandLine;
};

struct WindowStationTraits {
  using Handle = HWINSTA;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle station) { return station != nullptr; }
  static void Close(Handle station) { CloseWindowStation(station); }
};

struct DesktopTraits {
  using Handle = HDESK;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle desktop) { return desktop != nullptr; }
  static void Close(Handle desktop) { CloseDesktop(desktop); }
};

// A new window station (not the interactive WinSta0, so without WSF_VISIBLE) with a desktop
// "Default"; empty (error set) when it cannot be made.
struct HiddenStation {
  UniqueResource<WindowStationTraits> station;
  UniqueResource<DesktopTraits> desktop;
  std::wstring desktopPath;  // "<station>\\Default", for STARTUPINFOW.lpDesktop
  DWORD error = 0;

  HiddenStation() {
    const std::wstring name = L"orvwatch-" + std::to_wstring(GetCurrentProcessId());
    station.reset(CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr));
    if (!station) {
      error = GetLastError();
      return;
    }
    // A desktop is made in the process's window station: switch to the new one for the call.
    HWINSTA own = GetProcessWindowStation();
    if (!SetProcessWindowStation(station.get())) {
      error = GetLastError();
      return;
    }
    desktop.reset(CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    if (!desktop) error = GetLastError();
    SetProcessWindowStation(own);
    if (desktop) desktopPath = name + L"\\Default";
  }
};

class Watcher {
 public:
  Watcher(const Options& options, DWORD processId) : options_(options), processId_(processId) {}

  void Poll() {
    windows_.clear();
    EnumWindows(&Watcher::Collect, reinterpret_cast<LPARAM>(this));
    bool dialogVisible = false;
    for (HWND window : windows_) {
      if (ProgressBar(window)) dialogVisible = true;
    }
    if (dialog_ && (!IsWindow(dialog_) || !IsWindowVisible(dialog_))) {
      Line("dialog-gone");
      dialog_ = nullptr;
    }
    for (HWND window : windows_) {
      if (HWND bar = ProgressBar(window)) {
        WatchDialog(window, bar);
      } else if (ClassName(window) == L"#32770" && !Answered(window)) {
        if (firstSeen_.first != window) firstSeen_ = {window, GetTickCount()};
        if (GetTickCount() - firstSeen_.second >= options_.answerAfterMs && MayAnswer()) {
          AnswerMessageBox(window, dialogVisible);
        }
      }
    }
  }

  void Line(const std::string& line) { lines_.push_back(line); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  static BOOL CALLBACK Collect(HWND window, LPARAM self) {
    auto* watcher = reinterpret_cast<Watcher*>(self);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == watcher->processId_ && IsWindowVisible(window)) watcher->windows_.push_back(window);
    return TRUE;
  }

  static HWND ProgressBar(HWND window) {
    HWND bar = GetDlgItem(window, 1001);
    return bar && ClassName(bar) == L"msctls_progress32" ? bar : nullptr;
  }

  bool MayAnswer() const {
    return options_.answerWhen.empty() || GetFileAttributesW(options_.answerWhen.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool Answered(HWND window) const {
    for (HWND seen : answered_) {
      if (seen == window) return true;
    }
    return false;
  }

  void WatchDialog(HWND window, HWND bar) {
    if (window != dialog_) {
      dialog_ = window;
      RECT rect{};
      GetWindowRect(window, &rect);
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      char numbers[256];
      std::snprintf(numbers, sizeof numbers, "\t%lu\t%lu\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld",
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)), rect.left, rect.top,
                    rect.right, rect.bottom, work.left, work.top, work.right, work.bottom);
      Line("dialog\t" + Escape(WindowText(window)) + numbers);
      if (options_.closeOnShow) Close(window, 0);
    }
    DWORD_PTR position = 0;
    // A short wait: while the dialog's thread is busy ending the dialog (2 s under Wine without a
    // window manager), the stub goes on, and the watcher must keep polling to see the dialog go.
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 100, &position)) return;
    const int pos = static_cast<int>(position);
    if (pos != lastPos_) {
      lastPos_ = pos;
      Line("pos\t" + std::to_string(pos));
    }
    if (options_.shotAtPos >= 0 && !shotTaken_ && pos >= options_.shotAtPos) {
      shotTaken_ = true;
      if (SaveScreenshot(window, options_.shot)) Line("shot\t" + Escape(options_.shot));
    }
    if (options_.closeAtPos >= 0 && !closeSent_ && pos >= options_.closeAtPos) Close(window, pos);
  }

  void Close(HWND window, int pos) {
    if (closeSent_) return;
    closeSent_ = true;
    Line("closed\t" + std::to_string(pos));
    PostMessageW(window, WM_CLOSE, 0, 0);
  }

  void AnswerMessageBox(HWND window, bool dialogVisible) {
    answered_.push_back(window);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    const std::wstring text = textControl ? WindowText(textControl) : L"";
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    // Whether the box shows an icon (a static control with SS_ICON); which icon cannot be told
    // from another process.
    unsigned icon = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
          SendMessageW(child, STM_GETICON, 0, 0)) {
        icon = 1;
      }
    }
    Line("msgbox\t" + Escape(WindowText(window)) + "\t" + Escape(text) + "\t" + std::to_string(icon) + "\t" +
         (dialogVisible ? "1" : "0") + "\t" + std::to_string(static_cast<unsigned long>(style)));
    HWND ok = GetDlgItem(window, IDOK);
    if (!ok) ok = GetDlgItem(window, IDCANCEL);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(ok ? GetDlgCtrlID(ok) : IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(ok));
  }

  static bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT rect{};
    GetWindowRect(window, &rect);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Some surroundings, so that the placement on the screen shows too.
    const int margin = 40;
    rect.left = (std::max)(0L, rect.left - margin);
    rect.top = (std::max)(0L, rect.top - margin);
    rect.right += margin;
    rect.bottom += margin;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
      SelectObject(memory, old);
      const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
      const DWORD imageSize = stride * static_cast<DWORD>(height);
      BITMAPFILEHEADER header{};
      header.bfType = 0x4D42;
      header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
      header.bfSize = header.bfOffBits + imageSize;
      if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        ok = std::fwrite(&header, sizeof header, 1, file) == 1 &&
             std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
             std::fwrite(bits, imageSize, 1, file) == 1;
        ok = std::fclose(file) == 0 && ok;
      }
      DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
  }

  const Options& options_;
  DWORD processId_;
  std::vector<HWND> windows_;
  std::vector<HWND> answered_;
  std::vector<std::string> lines_;
  HWND dialog_ = nullptr;
  std::pair<HWND, DWORD> firstSeen_{nullptr, 0};
  int lastPos_ = -1;
  bool closeSent_ = false;
  bool shotTaken_ = false;
};

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--") {
      ++i;
      break;
    }
    if (i + 1 >= argc) return false;
    const std::wstring value = argv[++i];
    if (arg == L"--report") options.report = value;
    else if (arg == L"--close-at-pos") options.closeAtPos = _wtoi(value.c_str());
    else if (arg == L"--close-on-show") options.closeOnShow = value == L"1";
    else if (arg == L"--shot") options.shot = value;
    else if (arg == L"--shot-at-pos") options.shotAtPos = _wtoi(value.c_str());
    else if (arg == L"--timeout") options.timeoutMs = static_cast<DWORD>(_wtoi(value.c_str()));
    else if (arg == L"--answer-after") options.answerAfterMs = static_cast<DWORD>(_wtoi(value.c_str()));
    else if (arg == L"--hidden-station") options.hiddenStation = value == L"1";
    else if (arg == L"--answer-when") options.answerWhen = value;
    else return false;
  }
  if (i >= argc || options.report.empty()) return false;
  // The program keeps its own arguments exactly as given after "--".
  options.commandLine = QuoteArgument(argv[i]);
  for (++i; i < argc; ++i) options.commandLine += L" " + QuoteArgument(argv[i]);
  return true;
}

bool WriteReport(const std::wstring& path, const std::vector<std::string>& lines) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  bool ok = true;
  for (const std::string& line : lines) ok = std::fprintf(file, "%s\n", line.c_str()) > 0 && ok;
  return std::fclose(file) == 0 && ok;
}

// Where the stand-in browser writes the pages it is given: the shell may start it from the
// desktop's own process (Explorer, as the stub asks), whose environment is not the stub's, so the
// watcher hands ORV_URL_RECORD on through the registry too (removed when it is not set).
void PublishUrlRecord() {
  const DWORD needed = GetEnvironmentVariableW(L"ORV_URL_RECORD", nullptr, 0);
  std::wstring value(needed, L'\0');
  const DWORD length = needed ? GetEnvironmentVariableW(L"ORV_URL_RECORD", &value[0], needed) : 0;
  if (length == 0 || length >= needed) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\OrvandelTestBed", L"UrlRecord");
    return;
  }
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\OrvandelTestBed", L"UrlRecord", REG_SZ, value.c_str(),
                  (length + 1) * sizeof(wchar_t));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fwprintf(stderr, L"usage: orvwatch --report FILE [options] -- PROGRAM [ARGS...]\n");
    return 2;
  }
  PublishUrlRecord();
  std::vector<wchar_t> commandLine(options.commandLine.begin(), options.commandLine.end());
  commandLine.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::unique_ptr<HiddenStation> hidden;
  if (options.hiddenStation) {
    hidden = std::make_unique<HiddenStation>();
    if (hidden->desktopPath.empty()) {
      const std::vector<std::string> lines{"error\thidden window station " + std::to_string(hidden->error)};
      return WriteReport(options.report, lines) ? 0 : 1;
    }
    startup.lpDesktop = &hidden->desktopPath[0];
  }
  PROCESS_INFORMATION info{};
  // Wine has been seen to fail a start with ERROR_INTERNAL_ERROR on a loaded machine before the
  // program ran at all; such a start is tried again, at most twice.
  DWORD startError = ERROR_INTERNAL_ERROR;
  for (int attempt = 0; attempt < 3 && startError == ERROR_INTERNAL_ERROR; ++attempt) {
    startError = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &info)
                     ? ERROR_SUCCESS
                     : GetLastError();
  }
  if (startError != ERROR_SUCCESS) {
    const std::vector<std::string> lines{"error\tCreateProcessW failed " + std::to_string(startError)};
    return WriteReport(options.report, lines) ? 0 : 1;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  Watcher watcher(options, info.dwProcessId);
  const DWORD start = GetTickCount();
  for (;;) {
    watcher.Poll();
    if (WaitForSingleObject(process.get(), 15) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start > options.timeoutMs) {
      watcher.Line("error\ttimeout");
      TerminateProcess(process.get(), 0xDEAD);
      WaitForSingleObject(process.get(), 5000);
      break;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  watcher.Line("exit\t" + std::to_string(static_cast<unsigned long>(code)));
  return WriteReport(options.report, watcher.Lines()) ? 0 : 1;
}
