#pragma once
// The environment a started program gets: the stub's own, read as the platform hands it out
// ("name=value" strings, each ended by a null, the block by an empty string), with chosen
// variables set, kept in the order the platform requires (by name, ignoring case).
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The "name=value" entries of block, in order. Reading stops at the first empty entry or at the
// end of block, whichever comes first, so a block without its final null is read up to its end.
std::vector<std::wstring> SplitEnvironmentBlock(std::wstring_view block);

// A block for CreateProcessW with CREATE_UNICODE_ENVIRONMENT: each entry and its null, then one
// more null (two when there are no entries, as the platform requires).
std::wstring JoinEnvironmentBlock(const std::vector<std::wstring>& entries);

// The variable name of an entry: what comes before its first '=' after the first character (the
// platform's "=C:=C:\dir" entries begin with '='); the whole entry when there is no such '='.
std::wstring_view EnvironmentEntryName(std::wstring_view entry);

// entries with every variable called name (in any case of ASCII letters) removed and
// "name=value" put where the first of them stood, or, when there was none, before the first
// entry whose name sorts after name (names compared ignoring ASCII case), else at the end.
std::vector<std::wstring> WithEnvironmentVariable(std::vector<std::wstring> entries, std::wstring_view name,
                                                  std::wstring_view value);

}  // namespace orv
