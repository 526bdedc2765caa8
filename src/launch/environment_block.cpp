#include "launch/environment_block.h"

#include <cstddef>

namespace orv {
namespace {

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Negative, zero or positive as a sorts before, with or after b, ignoring ASCII case.
int CompareNames(std::wstring_view a, std::wstring_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const wchar_t x = AsciiUpper(a[i]);
    const wchar_t y = AsciiUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::vector<std::wstring> SplitEnvironmentBlock(std::wstring_view block) {
  std::vector<std::wstring> entries;
  size_t start = 0;
  while (start < block.size()) {
    size_t end = block.find(L'\0', start);
    if (end == std::wstring_view::npos) end = block.size();
    if (end == start) break;
    entries.emplace_back(block.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::wstring JoinEnvironmentBlock(const std::vector<std::wstring>& entries) {
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  if (entries.empty()) block += L'\0';
  block += L'\0';
  return block;
}

std::wstring_view EnvironmentEntryName(std::wstring_view entry) {
  const size_t equals = entry.find(L'=', 1);
  return equals == std::wstring_view::npos ? entry : entry.substr(0, equals);
}

std::vector<std::wstring> WithEnvironmentVariable(std::vector<std::wstring> entries, std::wstring_view name,
                                                  std::wstring_view value) {
  std::wstring entry(name);
  entry += L'=';
  entry += value;
  // Where the entry goes: where the first variable of that name stood, else in name order.
  size_t place = std::wstring::npos;
  bool replaced = false;
  std::vector<std::wstring> kept;
  kept.reserve(entries.size() + 1);
  for (std::wstring& existing : entries) {
    const int order = CompareNames(EnvironmentEntryName(existing), name);
    if (order == 0) {
      if (!replaced) place = kept.size();
      replaced = true;
      continue;
    }
    if (!replaced && order > 0 && place == std::wstring::npos) place = kept.size();
    kept.push_back(std::move(existing));
  }
  if (place == std::wstring::npos) place = kept.size();
  kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(place), std::move(entry));
  return kept;
}

}  // namespace orv
