#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "util/sha256.h"

namespace orv {

// What the stub checks of a downloaded file, taken in one pass over its bytes.
struct FileSums {
  uint32_t crc32 = 0;
  Sha256Digest sha256{};
  uint64_t size = 0;
};

// The sums of bytes that arrive in pieces (a download as it streams in), the same as
// ComputeFileSums gives for those bytes in one file.
class FileSumsBuilder {
 public:
  // Adds size bytes at data after those added before.
  void Add(const void* data, size_t size);
  // The sums of every byte added; the builder then starts again from no bytes.
  FileSums Finish();

 private:
  Sha256 sha_;
  uint32_t crc32_ = 0;
  uint64_t size_ = 0;
};

// The bytes of one open file, in order.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // False on a read error; else true with got bytes (0 at the end) at buffer, at most capacity.
  [[nodiscard]] virtual bool Read(void* buffer, size_t capacity, size_t& got) = 0;
};

// Bytes read from the source per step: memory use is bounded by this, whatever the file's size.
inline constexpr size_t kFileSumsChunkSize = 256 * 1024;

// False, sums unspecified, when the source fails a read; else true with the CRC-32, SHA-256 and
// size of every byte up to the source's end.
[[nodiscard]] bool ComputeFileSums(ByteSource& source, FileSums& sums);

// Bytes read from the file per step: memory use is bounded by this, whatever the file's size.
inline constexpr size_t kFileCrc32ChunkSize = 256 * 1024;

// CRC-32 (IEEE 802.3, reflected, as zlib) of every byte of the file at path, of any size; another
// process may have the file open for writing meanwhile.
// Throws std::ios_base::failure whose text begins "Failed to open the file" when the file cannot
// be opened; read errors after the open do not throw (the CRC covers the bytes read until then).
uint32_t FileCrc32(const std::wstring& path);

}  // namespace orv
