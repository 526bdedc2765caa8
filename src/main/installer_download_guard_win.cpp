#include "main/installer_download_guard.h"

#include <windows.h>

namespace {

// Never destroyed: a download thread that was given up may still report while the process ends.
std::mutex& WatchMutex() {
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}

DWORD g_lastReportTick = 0;  // GetTickCount of the last report or of the start
bool g_givenUp = false;

}  // namespace

StatusReportScope::StatusReportScope() : lock_(WatchMutex()) {
  live_ = !g_givenUp;
  g_lastReportTick = GetTickCount();
}

void NoteDownloadStart() {
  const std::lock_guard<std::mutex> lock(WatchMutex());
  g_lastReportTick = GetTickCount();
}

bool GiveUpDownloadIfSilentFor(uint32_t silenceLimitMs) {
  const std::lock_guard<std::mutex> lock(WatchMutex());
  // Unsigned difference: correct across the wrap of the tick count.
  if (GetTickCount() - g_lastReportTick < silenceLimitMs) return false;
  g_givenUp = true;
  return true;
}
