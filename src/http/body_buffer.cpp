#include "http/body_buffer.h"

#include <algorithm>
#include <new>

#include "text/ascii_case.h"

namespace orv {

bool BodyBuffer::reset() {
  clear();
  try {
    bytes_.assign(kInitialCapacity, 0);
  } catch (const std::bad_alloc&) {
    clear();
    return false;
  }
  return true;
}

void BodyBuffer::clear() {
  std::vector<unsigned char>().swap(bytes_);
  size_ = 0;
}

uint64_t BodyBuffer::GrownCapacity(uint64_t capacity, uint64_t needed) {
  while (capacity <= needed) capacity *= 2;
  return capacity;
}

BodyBuffer::AppendResult BodyBuffer::append(const unsigned char* data, uint32_t length) {
  if (!fits(length)) return AppendResult::TooLarge;
  if (length == 0) return AppendResult::Appended;
  const uint64_t needed = static_cast<uint64_t>(size_) + length;
  if (needed >= bytes_.size()) {
    const uint64_t grown = GrownCapacity(bytes_.empty() ? kInitialCapacity : bytes_.size(), needed);
    try {
      std::vector<unsigned char> larger(static_cast<size_t>(grown), 0);
      std::copy(bytes_.begin(), bytes_.begin() + size_, larger.begin());
      bytes_.swap(larger);
    } catch (const std::bad_alloc&) {
      return AppendResult::OutOfMemory;
    }
  }
  std::copy(data, data + length, bytes_.begin() + size_);
  size_ += length;
  return AppendResult::Appended;
}

BodyEncoding ChooseBodyEncoding(const std::wstring& charset) {
  return StartsWithIgnoringAsciiCase(charset, L"utf-8") ? kUtf8Encoding : kAnsiEncoding;
}

}  // namespace orv
