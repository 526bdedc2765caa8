#include "main/offline_switches.h"

#include <vector>

#include "main/command_line_split.h"
#include "text/ascii_case.h"

namespace orv {
namespace {

constexpr wchar_t kLayoutSwitch[] = L"-layout";
constexpr wchar_t kSourceSwitch[] = L"-source";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// folder without the separators at its end; "X:\" (a drive's root) keeps its own.
std::wstring WithoutTrailingSeparators(std::wstring folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) {
    if (folder.size() == 3 && folder[1] == L':') break;
    folder.pop_back();
  }
  return folder;
}

}  // namespace

OfflineRequest ReadOfflineSwitches(std::wstring_view commandLine) {
  OfflineRequest request;
  request.passedOn = std::wstring(commandLine);
  const std::vector<CommandLineArgument> arguments = SplitCommandLine(commandLine);
  size_t found = arguments.size();
  size_t count = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (EqualsIgnoringAsciiCase(arguments[i].text, kLayoutSwitch) ||
        EqualsIgnoringAsciiCase(arguments[i].text, kSourceSwitch)) {
      if (count++ == 0) found = i;
    }
  }
  if (count == 0) return request;
  const bool layout = EqualsIgnoringAsciiCase(arguments[found].text, kLayoutSwitch);
  const std::string name = layout ? "-layout" : "-source";
  if (count > 1) {
    request.misuse = "-layout and -source can be given only once, and not together";
    return request;
  }
  if (found + 1 == arguments.size() || arguments[found + 1].text.empty()) {
    request.misuse = name + " needs a folder after it";
    return request;
  }
  const CommandLineArgument& folder = arguments[found + 1];
  request.mode = layout ? OfflineMode::Layout : OfflineMode::Source;
  request.folder = WithoutTrailingSeparators(folder.text);
  request.passedOn = CutFromCommandLine(commandLine, arguments[found].begin, folder.end);
  return request;
}

}  // namespace orv
