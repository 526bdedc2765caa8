#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

// Bytes read from the file per step: memory use is bounded by this, whatever the file's size.
inline constexpr size_t kFileCrc32ChunkSize = 256 * 1024;

// CRC-32 (IEEE 802.3, reflected, as zlib) of every byte of the file at path, of any size; another
// process may have the file open for writing meanwhile.
// Throws std::ios_base::failure whose text begins "Failed to open the file" when the file cannot
// be opened; read errors after the open do not throw (the CRC covers the bytes read until then).
uint32_t FileCrc32(const std::wstring& path);

}  // namespace orv
