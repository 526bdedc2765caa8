#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// The values that a response's raw header block (lines ended by CR LF) gives the HTTP client.
enum class HeaderSearch {
  Charset,        // "charset={[A-Za-z0-9\-_]+}"
  ContentLength,  // "Content-Length: {[0-9]+}"
  Location,       // "Location: {[0-9]+}"
  SetCookie,      // "Set-Cookie:\b*{.+?}\n"
};

// The pattern text of a search, as FindAllCaptures takes it.
const wchar_t* HeaderSearchPattern(HeaderSearch search);

// The distinct captures (case-insensitive, first spelling kept, in order) that FindAllCaptures
// would give for the search's pattern over the whole of headers, or the first maxResults of
// them. Every match begins with the header name, so the pattern is run only over the stretch
// from each occurrence of the name to the end of the value after it: the time stays linear in
// the size of headers even when the name occurs thousands of times. False, with no results,
// when headers is empty or the pattern search fails.
[[nodiscard]] bool SearchHeaders(const std::wstring& headers, HeaderSearch search, size_t maxResults,
                                 std::vector<std::wstring>& results);

// A run of decimal digits read as an unsigned 32-bit value; larger values give 4294967295.
uint32_t ParseContentLength(const std::wstring& digits);

// Appends cookie captures to cookies: joined by "; ", added directly after what cookies already
// holds, then blanks trimmed from both ends and a final ";" added when missing. No captures: no
// change.
void AppendCookies(std::wstring& cookies, const std::vector<std::wstring>& captures);

// The fields that the header searches write.
struct HeaderFields {
  std::wstring& charset;
  uint32_t& contentLength;
  std::wstring& location;
  std::wstring& responseCookies;
};

// Runs the four searches over headers, in order: the charset (skipped when forceCharset is set),
// the content length and the location each replace their field with their first capture; every
// Set-Cookie value is appended to responseCookies. A search that finds nothing leaves its field.
void ExtractHeaderFields(const std::wstring& headers, bool forceCharset, HeaderFields fields);

// True when text holds "<html>" but not "</html>" (any letter case): a page cut off before its
// end. Time linear in the size of text.
bool IsCutOffPage(const std::wstring& text);

}  // namespace orv
