#pragma once
// Windows only: a Status from the thread's last error, read before anything else can change it.
#include <windows.h>

#include <string>

#include "base/status.h"

namespace orv {

// Call right after the platform call that failed: reads GetLastError() first, then builds the
// detail with makeDetail() (which may make platform calls of its own).
template <typename MakeDetail>
[[nodiscard]] Status LastErrorStatus(MakeDetail makeDetail) {
  const DWORD code = GetLastError();
  return Status::Failure(code, makeDetail());
}

// The same with a fixed detail.
[[nodiscard]] inline Status LastErrorStatus(const char* detail) {
  const DWORD code = GetLastError();
  return Status::Failure(code, detail);
}

}  // namespace orv
