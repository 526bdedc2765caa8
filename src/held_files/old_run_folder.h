#pragma once
// Run folders that earlier runs left in the setup folder (a run that was killed, or a file kept
// for inspection): each run removes those that are a day old and that no process holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace orv {

// A day, in the platform's file time units (100 ns).
inline constexpr uint64_t kOldRunFolderAge = 24ull * 60 * 60 * 10000000;

// An old run folder the run removed, or tried to.
struct OldFolderRemoval {
  std::wstring path;  // as the log shows it
  Status status;      // success: gone with what it held; otherwise why it (or part of it) stays
};

// False unless name is "orv" followed by exactly eight hexadecimal digits (either case).
bool IsRunFolderName(std::wstring_view name);

// False unless the entry is a folder (FILE_ATTRIBUTE_DIRECTORY) that is no link or other reparse
// point, IsRunFolderName(name), and last written at least kOldRunFolderAge before now (file
// times, 100 ns since 1601); a time after now (a clock set back) is not old.
bool IsOldRunFolder(std::wstring_view name, uint32_t attributes, uint64_t lastWrite, uint64_t now);

}  // namespace orv
