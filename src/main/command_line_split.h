#pragma once
// The command line split into arguments as the platform splits it (CommandLineToArgvW), each
// argument with the place of its characters in the text, so that one can be cut out and the rest
// passed on exactly as it was given.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// One argument and where it stands in the command line.
struct CommandLineArgument {
  std::wstring text;  // the argument, its quotes and escaping backslashes removed
  size_t begin = 0;   // offset of its first character in the command line
  size_t end = 0;     // offset just past its last character
};

// The arguments of commandLine (the text after the program's name), split as CommandLineToArgvW
// splits them: blanks (space, tab) outside quotes end an argument; 2n backslashes before a quote
// give n backslashes and the quote opens or closes a quoted part; 2n+1 give n and a literal
// quote; other backslashes stay; inside a quoted part two quotes give one literal quote. An
// unclosed quote runs to the end. Empty for a line of blanks only.
std::vector<CommandLineArgument> SplitCommandLine(std::wstring_view commandLine);

// commandLine without the characters from begin to end and the blanks after them (the blanks
// before them when nothing follows), every other character as it was; commandLine itself when the
// range is empty or does not lie within it.
std::wstring CutFromCommandLine(std::wstring_view commandLine, size_t begin, size_t end);

}  // namespace orv
