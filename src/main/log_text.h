#pragma once
#include <string>
#include <string_view>

#include "text/log_escape.h"
#include "text/utf8.h"

namespace orv {

// A wide text as it is written into a log line: UTF-8, so that any path stays readable, with
// control characters escaped, so that a value never starts a line of its own.
inline std::string LogText(std::wstring_view text) { return EscapeLogValue(ToUtf8(text)); }

}  // namespace orv
