#include "pe_info.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "wine.h"

namespace bed {

PeInfo ReadPeInfo(const std::string& exe, const std::string& arch) {
  PeInfo info;
  const ProcessResult dump = RunProcess({arch + "-w64-mingw32-objdump", "-p", exe}, 60000);
  info.dump = dump.out;
  if (dump.status != 0) {
    info.error = "objdump -p " + exe + ": status " + std::to_string(dump.status) + " " + dump.err;
    return info;
  }
  info.read = true;
  std::smatch magic;
  if (std::regex_search(dump.out, magic, std::regex(R"(Magic\s+[0-9a-fA-F]+\s+\((PE32\+?)\))"))) info.magic = magic[1];
  info.gui = dump.out.find("(Windows GUI)") != std::string::npos;
  const std::regex dll(R"(DLL Name: (\S+))");
  for (std::sregex_iterator it(dump.out.begin(), dump.out.end(), dll), end; it != end; ++it) {
    std::string name = (*it)[1];
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    info.imports.insert(name);
  }
  return info;
}

const std::set<std::string>& AllowedStubImports() {
  // Only KnownDLLs, which Windows maps from System32 whatever lies beside the program: every other
  // DLL (winhttp, urlmon, version, uxtheme, crypt32, ...) is loaded at run time from System32.
  static const std::set<std::string> allowed{"KERNEL32.DLL", "MSVCRT.DLL",   "USER32.DLL",  "GDI32.DLL",
                                             "SHELL32.DLL",  "OLE32.DLL",    "OLEAUT32.DLL", "RPCRT4.DLL",
                                             "ADVAPI32.DLL", "SHLWAPI.DLL",  "COMDLG32.DLL", "WS2_32.DLL"};
  return allowed;
}

}  // namespace bed
