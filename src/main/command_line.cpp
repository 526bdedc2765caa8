#include "main/command_line.h"

#include <string>

#include "text/ascii_case.h"

namespace orv {

namespace {

// True when one of the command line's arguments (split at unquoted spaces and tabs, quotes
// removed) is name, in any ASCII letter case.
bool HasArgument(std::wstring_view commandLine, std::wstring_view name) {
  std::wstring argument;
  bool quoted = false;
  bool inArgument = false;
  for (const wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      inArgument = true;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      if (inArgument && EqualsIgnoringAsciiCase(argument, name)) return true;
      argument.clear();
      inArgument = false;
    } else {
      argument += c;
      inArgument = true;
    }
  }
  return inArgument && EqualsIgnoringAsciiCase(argument, name);
}

}  // namespace

bool HasNoShortcutSwitch(std::wstring_view commandLine) { return HasArgument(commandLine, L"-ns"); }

bool HasSilentSwitch(std::wstring_view commandLine) { return HasArgument(commandLine, L"-silent"); }

}  // namespace orv
