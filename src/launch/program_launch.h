#pragma once
// Starting a program that the stub holds open and has checked: by the final path of the held
// file, as the platform resolves that handle, never by a name someone could re-point and never
// through a file association; in a folder and with a temporary folder the stub chose.
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/status.h"
#include "base/unique_handle.h"

namespace orv {

// A started program. Its handle is closed when this object ends; the program goes on running.
class StartedProcess {
 public:
  StartedProcess(UniqueHandle process, std::wstring path) : process_(std::move(process)), path_(std::move(path)) {}

  // A failure (code from the platform) when the wait or the read of the exit code fails;
  // otherwise waits until the program has ended and gives its exit code.
  [[nodiscard]] Result<uint32_t> Wait();
  // The path the program was started from, as its command line names it.
  const std::wstring& path() const { return path_; }
  HANDLE handle() const { return process_.get(); }

 private:
  UniqueHandle process_;
  std::wstring path_;
};

// Where the program starts: its current folder, and the folder its TMP and TEMP name.
struct LaunchPlace {
  std::wstring currentFolder;
  std::wstring tempFolder;
};

// A failure (detail for the log) when held's final path cannot be read; otherwise the path a
// launch of held uses in its command line: the final path without the long-path prefix.
[[nodiscard]] Result<std::wstring> LaunchPathOf(HANDLE held);

// A failure with the platform's code when held's final path cannot be read, the environment
// cannot be copied or CreateProcessW fails (ERROR_BAD_EXE_FORMAT (193) for a file that is not a
// program). Otherwise the program started with CreateProcessW: application name = held's final
// path; command line = that path (LaunchPathOf) in double quotes, a space and parameters;
// current folder and TMP/TEMP as place gives them, the rest of this process's environment
// unchanged; no handles inherited. held must stay open until this returns.
[[nodiscard]] Result<StartedProcess> StartHeldProgram(HANDLE held, const std::wstring& parameters,
                                                      const LaunchPlace& place);

}  // namespace orv
