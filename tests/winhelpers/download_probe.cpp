// Downloads with the stub's own download (DownloadInstaller over WinHttpTransfer) into a new file
// and prints what happened, one line each, for the end-to-end tests:
//   "log <LEVEL> <message>", "bar <percent>", "end", then "result=done size=<bytes>",
//   "result=failed code=<platform code> detail=<text>" or "result=closed", each with the download's
//   time and the process's peak of private memory (" ms=<milliseconds> peak_kib=<KiB>").
//
//   download_probe --out PATH --url U [--mirror U]... [--sha256] [--size N] [--window-ms N]
//                  [--trickle-bytes N] [--pauses-ms A,B,C] [--end-bound-ms N] [--close-at-percent P]
//
// The file is created as the run creates it (new, others may only read it). With
// --close-at-percent the user-closed event is set once the bar reaches P, as the dialog's close
// would. Exit code 0 when every option was understood, 2 otherwise.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "download/download_course.h"
#include "download/winhttp_transfer.h"
#include "held_files/held_file_writer.h"

namespace {

using namespace orv;

std::mutex g_output;

void Print(const std::string& line) {
  const std::lock_guard<std::mutex> lock(g_output);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

class ProbeLog final : public LogSink {
 public:
  void Log(LogLevel level, const std::string& message) override {
    const char* name = level == LogLevel::Info ? "INFO" : level == LogLevel::Warning ? "WARNING" : "ERROR";
    Print(std::string("log ") + name + " " + message);
  }
};

// Prints the bar; sets the user-closed event once the bar reaches closeAtPercent.
class ProbeProgress final : public DownloadProgress {
 public:
  ProbeProgress(HANDLE closed, int closeAtPercent) : closed_(closed), closeAtPercent_(closeAtPercent) {}
  void SetBarPosition(int32_t percent) override {
    Print("bar " + std::to_string(percent));
    if (closeAtPercent_ >= 0 && percent >= closeAtPercent_) SetEvent(closed_);
  }
  void EndProgressDialog() override { Print("end"); }

 private:
  HANDLE closed_;
  int closeAtPercent_;
};

bool ParseNumber(const wchar_t* text, uint64_t& value) {
  wchar_t* end = nullptr;
  value = std::wcstoull(text, &end, 10);
  return end != text && *end == L'\0';
}

bool ParseU32(const wchar_t* text, uint32_t& value) {
  uint64_t wide = 0;
  if (!ParseNumber(text, wide) || wide > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(wide);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring out;
  DownloadPlan plan;
  DownloadTimings timings;
  int closeAtPercent = -1;
  for (int i = 1; i < argc; ++i) {
    const std::wstring name = argv[i];
    if (name == L"--sha256") {
      plan.plainHttpAllowed = true;
      continue;
    }
    if (i + 1 >= argc) return 2;
    const wchar_t* value = argv[++i];
    uint64_t number = 0;
    bool ok = true;
    if (name == L"--out") {
      out = value;
    } else if (name == L"--url" || name == L"--mirror") {
      plan.addresses.push_back(value);
    } else if (name == L"--size") {
      ok = ParseNumber(value, number);
      plan.configuredSize = number;
    } else if (name == L"--window-ms") {
      ok = ParseU32(value, timings.trickleWindowMs);
    } else if (name == L"--trickle-bytes") {
      ok = ParseU32(value, timings.trickleBytes);
    } else if (name == L"--end-bound-ms") {
      ok = ParseU32(value, timings.endBoundMs);
    } else if (name == L"--close-at-percent") {
      ok = ParseNumber(value, number) && number <= 100;
      closeAtPercent = static_cast<int>(number);
    } else if (name == L"--pauses-ms") {
      ok = std::swscanf(value, L"%u,%u,%u", &timings.firstPauseMs, &timings.secondPauseMs, &timings.laterPauseMs) == 3;
    } else {
      ok = false;
    }
    if (!ok) return 2;
  }
  if (out.empty()) return 2;

  Result<HeldFileWriter> writer = HeldFileWriter::Create(out);
  if (!writer.ok()) {
    Print("result=failed code=" + std::to_string(writer.status().code()) + " detail=the file cannot be created");
    return 0;
  }
  UniqueHandle closed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ProbeLog log;
  ProbeProgress progress(closed.get(), closeAtPercent);
  WinHttpTransfer transfer(*writer, closed.get(), timings);
  EventPacer pacer(closed.get());
  const DWORD started = GetTickCount();
  const DownloadOutcome outcome = DownloadInstaller(transfer, pacer, log, progress, plan, timings);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  const size_t peak = K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)) ? memory.PeakPagefileUsage : 0;
  const std::string took = " ms=" + std::to_string(GetTickCount() - started) + " peak_kib=" + std::to_string(peak / 1024);
  switch (outcome.end) {
    case DownloadEnd::Done: Print("result=done size=" + std::to_string(outcome.size) + took); break;
    case DownloadEnd::Closed: Print("result=closed" + took); break;
    case DownloadEnd::Failed:
      Print("result=failed code=" + std::to_string(outcome.failure.code()) + took + " detail=" + outcome.failure.detail());
      break;
  }
  return 0;
}
