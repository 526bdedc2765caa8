#include "http/body_buffer.h"

#include <windows.h>

namespace orv {

namespace {

int Measure(const unsigned char* data, int bytes, BodyEncoding encoding) {
  return MultiByteToWideChar(encoding.codePage, encoding.flags, reinterpret_cast<const char*>(data), bytes,
                             nullptr, 0);
}

}  // namespace

bool DecodeBody(const unsigned char* data, uint32_t length, BodyEncoding encoding, std::wstring& text) {
  if (data == nullptr) return false;
  // The zero byte after the data is converted too, so the measure counts the terminator.
  const int bytes = static_cast<int>(length) + 1;
  int chars = Measure(data, bytes, encoding);
  if (chars < 1) {
    encoding = kAnsiEncoding;
    chars = Measure(data, bytes, encoding);
    if (chars < 1) return false;
  }
  std::wstring converted(static_cast<size_t>(chars), L'\0');
  const int written = MultiByteToWideChar(encoding.codePage, encoding.flags, reinterpret_cast<const char*>(data),
                                          bytes, &converted[0], chars);
  if (written <= 0) return false;
  const size_t end = converted.find(L'\0');
  if (end != std::wstring::npos) converted.resize(end);
  text.swap(converted);
  return true;
}

}  // namespace orv
