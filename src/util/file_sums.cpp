#include "util/file_sums.h"

#include <memory>

#include "util/crc32.h"

bool ComputeFileSums(ByteSource& source, FileSums& sums) {
  const std::unique_ptr<unsigned char[]> chunk(new unsigned char[kFileSumsChunkSize]);
  Sha256 sha;
  FileSums result;
  for (;;) {
    size_t got = 0;
    if (!source.Read(chunk.get(), kFileSumsChunkSize, got)) return false;
    if (got == 0) break;
    if (got > kFileSumsChunkSize) return false;
    result.crc32 = Crc32Update(result.crc32, chunk.get(), got);
    sha.Update(chunk.get(), got);
    result.size += got;
  }
  result.sha256 = sha.Finish();
  sums = result;
  return true;
}
