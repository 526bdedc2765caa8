#pragma once
#include <cstdint>
#include <string>

namespace orv {

// How a response body is turned into wide text: a Windows code page and the conversion flags.
struct BodyEncoding {
  uint32_t codePage;  // 65001 (UTF-8) or 0 (the ANSI code page)
  uint32_t flags;     // 0 for UTF-8, 1 (MB_PRECOMPOSED) for the ANSI code page
};

inline constexpr BodyEncoding kUtf8Encoding{65001, 0};
inline constexpr BodyEncoding kAnsiEncoding{0, 1};

// UTF-8 when the first five characters of charset are "utf-8" in any letter case (so "UTF-8"
// and "utf-8x" alike); the ANSI code page for anything else, including an empty charset.
BodyEncoding ChooseBodyEncoding(const std::wstring& charset);

// Decodes length body bytes followed by the zero byte at data[length] (the buffer must hold it)
// with encoding; when that yields no characters, with the ANSI code page instead. On success
// text receives the characters before the first NUL and the result is true; otherwise text is
// unchanged and the result is false. Throws std::bad_alloc when the text cannot be allocated.
// Windows only.
[[nodiscard]] bool DecodeBody(const unsigned char* data, uint32_t length, BodyEncoding encoding,
                              std::wstring& text);

}  // namespace orv
