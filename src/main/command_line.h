#pragma once
#include <string_view>

namespace orv {

// True when the command line holds the argument "-ns" (any letter case, any position, quoted or
// not): the user asks that a cancelled installation leave no resume copy or shortcut.
bool HasNoShortcutSwitch(std::wstring_view commandLine);

// True when the command line holds the argument "-silent" (any letter case, any position, quoted
// or not): the run shows no progress dialog and no error box.
bool HasSilentSwitch(std::wstring_view commandLine);

}  // namespace orv
