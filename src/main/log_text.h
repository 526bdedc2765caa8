#pragma once
#include <string>
#include <string_view>

#include "util/utf8.h"

// A wide text as it is written into a log line: UTF-8, so that any path stays readable.
inline std::string LogText(std::wstring_view text) { return ToUtf8(text); }

// A path between double quotes, as the log lines quote paths.
inline std::string Quoted(std::wstring_view path) { return "\"" + LogText(path) + "\""; }
