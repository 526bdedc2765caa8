#include "util/file_sums.h"

#include <fstream>
#include <ios>
#include <memory>

#include "text/utf8.h"
#include "util/crc32.h"

namespace orv {

void FileSumsBuilder::Add(const void* data, size_t size) {
  crc32_ = Crc32Update(crc32_, data, size);
  sha_.Update(data, size);
  size_ += size;
}

FileSums FileSumsBuilder::Finish() {
  FileSums sums;
  sums.crc32 = crc32_;
  sums.sha256 = sha_.Finish();
  sums.size = size_;
  crc32_ = 0;
  size_ = 0;
  return sums;
}

bool ComputeFileSums(ByteSource& source, FileSums& sums) {
  const std::unique_ptr<unsigned char[]> chunk(new unsigned char[kFileSumsChunkSize]);
  FileSumsBuilder builder;
  for (;;) {
    size_t got = 0;
    if (!source.Read(chunk.get(), kFileSumsChunkSize, got)) return false;
    if (got == 0) break;
    if (got > kFileSumsChunkSize) return false;
    builder.Add(chunk.get(), got);
  }
  sums = builder.Finish();
  return true;
}

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
