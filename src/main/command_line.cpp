#include "main/command_line.h"

#include <string>

#include "text/ascii_case.h"

namespace orv {

namespace {

bool IsNoShortcut(const std::wstring& argument) {
  return EqualsIgnoringAsciiCase(argument, L"-ns");
}

}  // namespace

bool HasNoShortcutSwitch(std::wstring_view commandLine) {
  std::wstring argument;
  bool quoted = false;
  bool inArgument = false;
  for (const wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      inArgument = true;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      if (inArgument && IsNoShortcut(argument)) return true;
      argument.clear();
      inArgument = false;
    } else {
      argument += c;
      inArgument = true;
    }
  }
  return inArgument && IsNoShortcut(argument);
}

}  // namespace orv
