#pragma once
#include <string_view>

namespace orv {

// True when the command line holds the argument "-ns" (any letter case, any position, quoted or
// not): the user asks that a cancelled installation leave no resume copy or shortcut.
bool HasNoShortcutSwitch(std::wstring_view commandLine);

}  // namespace orv
