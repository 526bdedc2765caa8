#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// The raw bytes of one response body: starts with room for 10240 bytes, grows by doubling, and
// always keeps at least one zero byte after the data (every byte past the data is zero). The
// data never exceeds kMaxBodyBytes, so an endless body cannot exhaust the address space.
class BodyBuffer {
 public:
  static constexpr uint32_t kInitialCapacity = 10240;
  // Largest body accepted, in bytes (16 MiB).
  static constexpr uint32_t kMaxBodyBytes = 16u * 1024u * 1024u;

  enum class AppendResult {
    Appended,     // the bytes were added
    TooLarge,     // the body would exceed kMaxBodyBytes; nothing was added
    OutOfMemory,  // a larger buffer could not be allocated; nothing was added
  };

  // Drops any previous data and allocates a zero-filled buffer of kInitialCapacity bytes.
  // False when that allocation fails (the buffer is then empty, capacity 0).
  [[nodiscard]] bool reset();
  // Frees the buffer (capacity 0, size 0).
  void clear();

  // Whether `more` further bytes would stay within kMaxBodyBytes.
  bool fits(uint32_t more) const { return more <= kMaxBodyBytes - size_; }
  // Appends length bytes, doubling the capacity first when fewer than length + 1 free bytes are
  // left. On a result other than Appended the data and capacity are unchanged.
  [[nodiscard]] AppendResult append(const unsigned char* data, uint32_t length);

  // The data (followed by at least one zero byte), or null when no buffer is allocated.
  const unsigned char* data() const { return bytes_.empty() ? nullptr : bytes_.data(); }
  // Number of data bytes.
  uint32_t size() const { return size_; }
  // Allocated bytes: 0, or 10240 times a power of two.
  uint32_t capacity() const { return static_cast<uint32_t>(bytes_.size()); }

  // The capacity that holds needed bytes plus one zero byte, reached from capacity by doubling;
  // capacity itself when it already suffices. capacity must be non-zero.
  static uint64_t GrownCapacity(uint64_t capacity, uint64_t needed);

 private:
  std::vector<unsigned char> bytes_;
  uint32_t size_ = 0;
};

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
