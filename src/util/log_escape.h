#pragma once
#include <string>
#include <string_view>

// A value from outside the program (command line, path, URL, version, an error text) as it may
// stand inside one log line. Never fails; the result holds no line break or other control
// character: C0 controls and DEL become \r, \n, \t or \xHH; C1 controls and the Unicode line and
// paragraph separators become \uHHHH; bytes that are not UTF-8 become \xHH. All else is kept.
std::string EscapeLogValue(std::string_view utf8);
