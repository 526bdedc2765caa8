#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "util/file_sums.h"

namespace orv {

// False with error ("cannot read <path>: <reason>") when the file at path (UTF-8) cannot be
// read; else true with bytes = its first limit bytes (all of it when it is no longer).
[[nodiscard]] bool ReadFileHead(const std::string& path, uint64_t limit, std::string& bytes, std::string& error);

// False with error ("cannot read <path>: <reason>") when the file cannot be opened or read;
// else true with its size, CRC-32 and SHA-256, read in bounded pieces.
[[nodiscard]] bool SumFile(const std::string& path, FileSums& sums, std::string& error);

// False with error ("cannot write <path>: <reason>") when the file cannot be written; the file
// at path is then as it was. Else true with path replaced by bytes as a whole: they go to a new
// file beside it, which is flushed and then renamed over path.
[[nodiscard]] bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

// The file at path (UTF-8) opened with the C library's mode ("rb", "wb"), or null with errno set.
std::FILE* OpenUtf8File(const std::string& path, const char* mode);

}  // namespace orv
