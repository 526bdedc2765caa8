#include "util/file_sums.h"

#include <memory>

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

}  // namespace orv
