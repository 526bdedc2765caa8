#include "main/command_line.h"

#include <string>

namespace orv {

namespace {

bool IsNoShortcut(const std::wstring& argument) {
  return argument.size() == 3 && argument[0] == L'-' && (argument[1] == L'n' || argument[1] == L'N') &&
         (argument[2] == L's' || argument[2] == L'S');
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
