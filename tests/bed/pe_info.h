#pragma once
#include <set>
#include <string>

namespace bed {

// What objdump reads from a Windows executable's headers.
struct PeInfo {
  bool read = false;         // false: objdump failed; error holds why
  std::string magic;         // "PE32" or "PE32+"
  bool gui = false;          // Windows GUI subsystem
  std::set<std::string> imports;  // imported DLL names, upper case
  std::string dump;          // objdump's whole output, for failure messages
  std::string error;
};

// Reads exe with the MinGW objdump of arch ("i686" or "x86_64").
PeInfo ReadPeInfo(const std::string& exe, const std::string& arch);

// The Windows DLLs the stub may import: KnownDLLs only; nothing of the MinGW runtime, no COMCTL32
// (the common controls come through the manifest only), no WINHTTP or URLMON.
const std::set<std::string>& AllowedStubImports();

}  // namespace bed
