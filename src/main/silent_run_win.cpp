#include "main/silent_run.h"

#include <windows.h>

#include <string>

#include "base/last_error.h"

namespace orv {

Result<WindowStation> ReadProcessWindowStation() {
  // The process's own window station: not to be closed.
  HWINSTA station = GetProcessWindowStation();
  if (!station) return LastErrorStatus("GetProcessWindowStation failed");
  USEROBJECTFLAGS flags{};
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return LastErrorStatus("Reading the window station's flags failed");
  }
  WindowStation read;
  read.flags = static_cast<uint32_t>(flags.dwFlags);
  // The name only names the station in the log: a failure leaves it empty.
  DWORD needed = 0;
  GetUserObjectInformationW(station, UOI_NAME, nullptr, 0, &needed);
  if (needed >= sizeof(wchar_t)) {
    std::wstring name(needed / sizeof(wchar_t), L'\0');
    if (GetUserObjectInformationW(station, UOI_NAME, &name[0], needed, &needed)) {
      const size_t end = name.find(L'\0');
      if (end != std::wstring::npos) name.resize(end);
      read.name = name;
    }
  }
  return read;
}

}  // namespace orv
