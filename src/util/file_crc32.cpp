#include "util/file_crc32.h"

#include <fstream>
#include <ios>
#include <memory>

#include "util/crc32.h"
#ifndef _WIN32
#include "text/utf8.h"
#endif

namespace orv {

uint32_t FileCrc32(const std::wstring& path) {
  // Windows runtimes open wide names directly; std::filesystem::path would do the same at the cost
  // of its whole path library in the executable. Elsewhere file names are UTF-8 bytes.
#ifdef _WIN32
  std::ifstream file(path.c_str(), std::ios::in | std::ios::binary);
#else
  std::ifstream file(ToUtf8(path), std::ios::in | std::ios::binary);
#endif
  if (!file.good()) throw std::ios_base::failure("Failed to open the file", std::io_errc::stream);

  const std::unique_ptr<char[]> chunk(new char[kFileCrc32ChunkSize]);
  uint32_t crc = 0;
  while (file) {
    file.read(chunk.get(), static_cast<std::streamsize>(kFileCrc32ChunkSize));
    crc = Crc32Update(crc, chunk.get(), static_cast<size_t>(file.gcount()));
  }
  return crc;
}

}  // namespace orv
