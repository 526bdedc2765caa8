#pragma once
#include <cstdint>
#include <string>

// CRC-32 (IEEE 802.3, reflected, as zlib) of every byte of the file at path.
// Throws std::ios_base::failure whose text begins "Failed to open the file" when the file cannot
// be opened; read errors after the open do not throw.
uint32_t FileCrc32(const std::wstring& path);
