#include "launch/program_launch.h"

#include <utility>
#include <vector>

#include "base/last_error.h"
#include "held_files/final_path.h"
#include "held_files/handle_facts.h"
#include "launch/environment_block.h"

namespace orv {
namespace {

// The environment block the platform handed out: freed with FreeEnvironmentStringsW.
struct EnvironmentStringsTraits {
  using Handle = wchar_t*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle block) { return block != nullptr; }
  static void Close(Handle block) { FreeEnvironmentStringsW(block); }
};

// This process's environment with TMP and TEMP set to temp, as a block for CreateProcessW.
Result<std::wstring> EnvironmentFor(const std::wstring& temp) {
  const UniqueResource<EnvironmentStringsTraits> own{GetEnvironmentStringsW()};
  if (!own) return LastErrorStatus("Cannot read the environment");
  // The block ends with an empty string: two nulls in a row (or one, for an empty block).
  const wchar_t* end = own.get();
  while (end[0] != L'\0' || (end != own.get() && end[-1] != L'\0')) ++end;
  std::vector<std::wstring> entries = SplitEnvironmentBlock(std::wstring_view(own.get(), end - own.get()));
  entries = WithEnvironmentVariable(std::move(entries), L"TEMP", temp);
  entries = WithEnvironmentVariable(std::move(entries), L"TMP", temp);
  return JoinEnvironmentBlock(entries);
}

}  // namespace

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
  Result<std::wstring> environment = EnvironmentFor(place.tempFolder);
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
