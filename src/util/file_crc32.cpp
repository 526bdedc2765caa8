#include "util/file_crc32.h"

#include <filesystem>
#include <fstream>
#include <ios>
#include <memory>

#include "util/crc32.h"

uint32_t FileCrc32(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::in | std::ios::binary);
  if (!file.good()) throw std::ios_base::failure("Failed to open the file", std::io_errc::stream);

  const std::unique_ptr<char[]> chunk(new char[kFileCrc32ChunkSize]);
  uint32_t crc = 0;
  while (file) {
    file.read(chunk.get(), static_cast<std::streamsize>(kFileCrc32ChunkSize));
    crc = Crc32Update(crc, chunk.get(), static_cast<size_t>(file.gcount()));
  }
  return crc;
}
