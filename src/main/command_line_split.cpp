#include "main/command_line_split.h"

namespace orv {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<CommandLineArgument> SplitCommandLine(std::wstring_view commandLine) {
  std::vector<CommandLineArgument> arguments;
  const size_t length = commandLine.size();
  size_t at = 0;
  for (;;) {
    while (at < length && IsBlank(commandLine[at])) ++at;
    if (at == length) return arguments;
    CommandLineArgument argument;
    argument.begin = at;
    bool quoted = false;
    while (at < length && (quoted || !IsBlank(commandLine[at]))) {
      const wchar_t c = commandLine[at];
      if (c == L'\\') {
        size_t backslashes = 0;
        while (at < length && commandLine[at] == L'\\') {
          ++backslashes;
          ++at;
        }
        if (at < length && commandLine[at] == L'"') {
          argument.text.append(backslashes / 2, L'\\');
          if (backslashes % 2 == 1) {
            argument.text += L'"';
            ++at;
          }
          // With an even count the quote is read in the next round, as a quote of its own.
        } else {
          argument.text.append(backslashes, L'\\');
        }
      } else if (c == L'"') {
        if (quoted && at + 1 < length && commandLine[at + 1] == L'"') {
          argument.text += L'"';
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
      } else {
        argument.text += c;
        ++at;
      }
    }
    argument.end = at;
    arguments.push_back(std::move(argument));
  }
}

std::wstring CutFromCommandLine(std::wstring_view commandLine, size_t begin, size_t end) {
  if (begin >= end || end > commandLine.size()) return std::wstring(commandLine);
  size_t cutEnd = end;
  while (cutEnd < commandLine.size() && IsBlank(commandLine[cutEnd])) ++cutEnd;
  size_t cutBegin = begin;
  if (cutEnd == commandLine.size()) {
    while (cutBegin > 0 && IsBlank(commandLine[cutBegin - 1])) --cutBegin;
  }
  std::wstring rest(commandLine.substr(0, cutBegin));
  rest.append(commandLine.substr(cutEnd));
  return rest;
}

}  // namespace orv
