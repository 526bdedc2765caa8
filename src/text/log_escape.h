#pragma once
#include <string>
#include <string_view>

namespace orv {

// Never fails: an outside value (command line, path, URL, version, error text) fit for one log
// line. C0 controls and DEL become \r, \n, \t or \xHH, C1 controls and U+2028/U+2029 \uHHHH,
// bytes that are not UTF-8 \xHH; all else is kept.
std::string EscapeLogValue(std::string_view utf8);

// Never fails: a path as the log lines quote it, between double quotes, in UTF-8 and escaped as
// above.
std::string QuotedPath(std::wstring_view path);

}  // namespace orv
