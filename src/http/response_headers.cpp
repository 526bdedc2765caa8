#include "http/response_headers.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "pattern/pattern_captures.h"
#include "pattern/pattern_matcher.h"

namespace orv {

namespace {

// What follows the header name in a match.
enum class ValueShape {
  Token,     // one or more of A-Z a-z 0-9 - _ (greedy, nothing after it)
  Digits,    // one or more of 0-9 (greedy, nothing after it)
  LineRest,  // blanks or tabs, then at least one character, up to and including a CR or LF
};

struct SearchShape {
  const wchar_t* pattern;
  const wchar_t* name;  // the literal start of every match, lower case
  ValueShape value;
};

const SearchShape& ShapeOf(HeaderSearch search) {
  static const SearchShape kShapes[] = {
      {L"charset={[A-Za-z0-9\\-_]+}", L"charset=", ValueShape::Token},
      {L"Content-Length: {[0-9]+}", L"content-length: ", ValueShape::Digits},
      {L"Location: {[0-9]+}", L"location: ", ValueShape::Digits},
      {L"Set-Cookie:\\b*{.+?}\\n", L"set-cookie:", ValueShape::LineRest},
  };
  return kShapes[static_cast<int>(search)];
}

// The matcher compares folded text; these tests see characters the same way.
wchar_t Fold(wchar_t c) { return FoldChar(c); }

bool IsTokenChar(wchar_t c) {
  c = Fold(c);
  return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
}
bool IsDigitChar(wchar_t c) {
  c = Fold(c);
  return c >= L'0' && c <= L'9';
}
bool IsBlank(wchar_t c) {
  c = Fold(c);
  return c == L' ' || c == L'\t';
}
bool IsLineEnd(wchar_t c) {
  c = Fold(c);
  return c == L'\r' || c == L'\n';
}

// Position of the next occurrence of name (lower case) in text[from, end), compared folded; end
// when there is none.
size_t FindName(const std::wstring& text, size_t from, size_t end, const wchar_t* name) {
  const size_t length = std::char_traits<wchar_t>::length(name);
  for (size_t p = from; p + length <= end; ++p) {
    size_t i = 0;
    while (i < length && Fold(text[p + i]) == name[i]) ++i;
    if (i == length) return p;
  }
  return end;
}

// End of the text that a match beginning at the name at p can reach; a match, when there is
// one, ends exactly there, and no other match begins before it.
size_t MatchReach(const std::wstring& text, size_t p, size_t end, const SearchShape& shape) {
  size_t q = p + std::char_traits<wchar_t>::length(shape.name);
  switch (shape.value) {
    case ValueShape::Token:
      while (q < end && IsTokenChar(text[q])) ++q;
      return q;
    case ValueShape::Digits:
      while (q < end && IsDigitChar(text[q])) ++q;
      return q;
    case ValueShape::LineRest: {
      while (q < end && IsBlank(text[q])) ++q;
      // The lazy value takes one character, whatever it is, then stops at the first line end.
      for (size_t e = q + 1; e < end; ++e) {
        if (IsLineEnd(text[e])) return e + 1;
      }
      // No line end after the first value character: only a line end directly after the blanks
      // can still end a match (the value is then the last blank).
      return q < end ? q + 1 : end;
    }
  }
  return end;
}

std::wstring FoldedKey(const std::wstring& text) {
  std::wstring key(text);
  for (wchar_t& c : key) c = Fold(c);
  return key;
}

// Whether FindAllCaptures finds pattern in text, run over pieces of chunk characters that
// overlap by literalLength - 1, so that every match of a literal of that length lies wholly in
// one piece.
bool ContainsLiteralPattern(const std::wstring& text, const wchar_t* pattern, size_t literalLength) {
  static const size_t kChunk = 4096;
  const size_t nul = text.find(L'\0');
  const size_t end = nul == std::wstring::npos ? text.size() : nul;
  std::vector<std::wstring> found;
  for (size_t start = 0; start < end; start += kChunk - (literalLength - 1)) {
    const size_t length = std::min(kChunk, end - start);
    if (length < literalLength) break;
    if (FindAllCaptures(pattern, text.substr(start, length), found) && !found.empty()) return true;
    if (start + length == end) break;
  }
  return false;
}

}  // namespace

const wchar_t* HeaderSearchPattern(HeaderSearch search) { return ShapeOf(search).pattern; }

bool SearchHeaders(const std::wstring& headers, HeaderSearch search, size_t maxResults,
                   std::vector<std::wstring>& results) {
  results.clear();
  // The matcher sees the text up to its first NUL.
  const size_t nul = headers.find(L'\0');
  const size_t end = nul == std::wstring::npos ? headers.size() : nul;
  if (end == 0) return false;
  const SearchShape& shape = ShapeOf(search);
  std::unordered_set<std::wstring> seen;
  std::vector<std::wstring> found;
  size_t pos = 0;
  while (results.size() < maxResults) {
    const size_t p = FindName(headers, pos, end, shape.name);
    if (p == end) break;
    const size_t reach = MatchReach(headers, p, end, shape);
    if (!FindAllCaptures(shape.pattern, headers.substr(p, reach - p), found)) {
      results.clear();
      return false;
    }
    if (found.empty()) {
      pos = p + 1;
      continue;
    }
    if (seen.insert(FoldedKey(found.front())).second) results.push_back(found.front());
    pos = reach;
  }
  return true;
}

uint32_t ParseContentLength(const std::wstring& digits) {
  const uint32_t kMax = std::numeric_limits<uint32_t>::max();
  uint32_t value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') break;
    const uint32_t digit = static_cast<uint32_t>(c - L'0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

void AppendCookies(std::wstring& cookies, const std::vector<std::wstring>& captures) {
  if (captures.empty()) return;
  for (size_t i = 0; i < captures.size(); ++i) {
    if (i > 0) cookies += L"; ";
    cookies += captures[i];
  }
  const size_t first = cookies.find_first_not_of(L' ');
  if (first == std::wstring::npos) {
    cookies.clear();
    return;
  }
  cookies.erase(cookies.find_last_not_of(L' ') + 1);
  cookies.erase(0, first);
  if (cookies.back() != L';') cookies += L';';
}

void ExtractHeaderFields(const std::wstring& headers, bool forceCharset, HeaderFields fields) {
  std::vector<std::wstring> found;
  if (!forceCharset && SearchHeaders(headers, HeaderSearch::Charset, 1, found) && !found.empty()) {
    fields.charset = found.front();
  }
  if (SearchHeaders(headers, HeaderSearch::ContentLength, 1, found) && !found.empty()) {
    fields.contentLength = ParseContentLength(found.front());
  }
  if (SearchHeaders(headers, HeaderSearch::Location, 1, found) && !found.empty()) {
    fields.location = found.front();
  }
  if (SearchHeaders(headers, HeaderSearch::SetCookie, static_cast<size_t>(-1), found) && !found.empty()) {
    AppendCookies(fields.responseCookies, found);
  }
}

bool IsCutOffPage(const std::wstring& text) {
  return ContainsLiteralPattern(text, L"{<html>}", 6) && !ContainsLiteralPattern(text, L"{</html>}", 7);
}

}  // namespace orv
