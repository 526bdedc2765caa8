#include "launch/program_launch.h"

#include <utility>
#include <vector>

#include "base/last_error.h"
#include "held_files/final_path.h"
#include "held_files/handle_facts.h"
#include "launch/installer_environment.h"

namespace orv {

Result<uint32_t> StartedProcess::Wait() {
  if (!process_) return Status::Failure(ERROR_INVALID_HANDLE, "No started program to wait for");
  if (WaitForSingleObject(process_.get(), INFINITE) != WAIT_OBJECT_0) {
    return LastErrorStatus("Cannot wait for the program");
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.get(), &code)) return LastErrorStatus("Cannot read the program's exit code");
  return static_cast<uint32_t>(code);
}

Result<std::wstring> LaunchPathOf(HANDLE held) {
  Result<std::wstring> final = FinalPathOf(held);
  if (!final.ok()) return final.status();
  return WithoutLongPathPrefix(*final);
}

Result<StartedProcess> StartHeldProgram(HANDLE held, const std::wstring& parameters, const LaunchPlace& place) {
  Result<std::wstring> final = FinalPathOf(held);
  if (!final.ok()) return final.status();
  const std::wstring shown = WithoutLongPathPrefix(*final);
  std::wstring commandLine = L"\"" + shown + L"\" " + parameters;
  Result<std::wstring> environment = InstallerEnvironmentBlock(place.tempFolder, place.carriedNames);
  if (!environment.ok()) return environment.status();

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(final->c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &(*environment)[0], place.currentFolder.c_str(), &startup, &started)) {
    return LastErrorStatus("Cannot start the program");
  }
  const UniqueHandle thread{started.hThread};
  return StartedProcess(UniqueHandle{started.hProcess}, shown);
}

}  // namespace orv
