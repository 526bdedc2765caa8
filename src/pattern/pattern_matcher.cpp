#include "pattern/pattern_matcher.h"

#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "pattern/pattern_compiler.h"
#include "pattern/pattern_machine.h"

namespace orv {

PatternError PatternMatcher::Compile(const wchar_t* pattern) {
  caseSensitive_ = false;
  lastError_ = CompilePattern(pattern, program_);
  startFilter_ = StartFilter(program_);
  return lastError_;
}

bool PatternMatcher::Match(const wchar_t* text, MatchContext* context, const wchar_t** end) const {
  if (text == nullptr || context == nullptr) return false;
  if (end != nullptr) *end = text;
  if (lastError_ != PatternError::None) return false;
  const size_t length = std::wcslen(text);
  std::wstring folded;
  try {
    folded = FoldCase(text, length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t stop = 0;
  const bool matched = MatchFolded(text, folded.c_str(), length, 0, *context, stop);
  if (end != nullptr) *end = text + stop;
  return matched;
}

bool PatternMatcher::MatchFolded(const wchar_t* original, const wchar_t* folded, size_t length,
                                 size_t start, MatchContext& context, size_t& end) const {
  end = start;
  if (lastError_ != PatternError::None) return false;
  return PatternMachine::Run(program_, folded, length, start, original, context, end,
                             &startFilter_);
}

wchar_t FoldWideChar(wchar_t c) {
  return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

std::wstring FoldCase(const wchar_t* text, size_t length) {
  std::wstring folded(length, L'\0');
  for (size_t i = 0; i < length; ++i) folded[i] = FoldChar(text[i]);
  return folded;
}

}  // namespace orv
