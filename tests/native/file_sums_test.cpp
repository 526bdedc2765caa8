#include "util/file_sums.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "util/crc32.h"

namespace {
using namespace orv;

// Hands out the bytes of a buffer in pieces of the given sizes (cycled), then fails after
// failAfter bytes if that is set.
class ScriptedSource final : public ByteSource {
 public:
  ScriptedSource(std::string bytes, std::vector<size_t> pieces, size_t failAfter = SIZE_MAX)
      : bytes_(std::move(bytes)), pieces_(std::move(pieces)), failAfter_(failAfter) {}
  bool Read(void* buffer, size_t capacity, size_t& got) override {
    if (at_ >= failAfter_) return false;
    const size_t piece = pieces_[calls_++ % pieces_.size()];
    got = std::min({piece, capacity, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, got);
    at_ += got;
    return true;
  }

 private:
  std::string bytes_;
  std::vector<size_t> pieces_;
  size_t failAfter_;
  size_t at_ = 0;
  size_t calls_ = 0;
};

class StreamSource final : public ByteSource {
 public:
  explicit StreamSource(const std::filesystem::path& path) : in_(path, std::ios::binary) {}
  bool Read(void* buffer, size_t capacity, size_t& got) override {
    in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(capacity));
    got = static_cast<size_t>(in_.gcount());
    return !in_.bad();
  }

 private:
  std::ifstream in_;
};

TEST(FileSums, OnePassGivesCrcShaAndSizeWhateverThePieces) {
  std::string bytes(3 * kFileSumsChunkSize + 17, '\0');
  std::mt19937 random(7);
  for (char& c : bytes) c = static_cast<char>(random());
  const uint32_t crc = Crc32(bytes.data(), bytes.size());
  const Sha256Digest sha = Sha256Of(bytes.data(), bytes.size());
  const std::vector<std::vector<size_t>> scripts = {{kFileSumsChunkSize}, {1}, {63, 64, 65}, {100000, 7}};
  for (const std::vector<size_t>& pieces : scripts) {
    ScriptedSource source(bytes, pieces);
    FileSums sums;
    ASSERT_TRUE(ComputeFileSums(source, sums)) << "first piece " << pieces[0];
    EXPECT_EQ(sums.crc32, crc) << "first piece " << pieces[0];
    EXPECT_EQ(sums.sha256, sha) << "first piece " << pieces[0];
    EXPECT_EQ(sums.size, bytes.size()) << "first piece " << pieces[0];
  }
  ScriptedSource empty("", {10});
  FileSums sums;
  ASSERT_TRUE(ComputeFileSums(empty, sums));
  EXPECT_EQ(sums.crc32, 0u);
  EXPECT_EQ(Sha256Hex(sums.sha256), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sums.size, 0u);
}

TEST(FileSums, AReadErrorFailsAndLeavesTheSumsAlone) {
  for (size_t failAfter : {size_t{0}, size_t{1}, kFileSumsChunkSize, kFileSumsChunkSize + 1}) {
    ScriptedSource source(std::string(2 * kFileSumsChunkSize, 'x'), {kFileSumsChunkSize / 2}, failAfter);
    FileSums sums;
    sums.size = 12345;
    EXPECT_FALSE(ComputeFileSums(source, sums)) << "fails after " << failAfter;
    EXPECT_EQ(sums.size, 12345u) << "fails after " << failAfter;
  }
}

// Reads 4 GiB (half a minute on a busy machine): runs only when ORV_SLOW_TESTS is set.
TEST(FileSums, FilesOf4GiBAndMore) {
  if (std::getenv("ORV_SLOW_TESTS") == nullptr) GTEST_SKIP() << "set ORV_SLOW_TESTS=1 to read a 4 GiB file";
  // Sparse: four gibibytes of zeros, then sixteen bytes that a size cut to 32 bits would lose.
  constexpr uint64_t kZeros = uint64_t{1} << 32;
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("orv_file_sums_" + std::to_string(std::random_device{}()) + "_4GiB");
  { std::ofstream create(path, std::ios::binary); }
  std::filesystem::resize_file(path, kZeros);
  {
    std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(kZeros));
    out.write("0123456789abcdef", 16);
    ASSERT_TRUE(out.good());
  }
  FileSums sums;
  bool computed = false;
  {
    StreamSource source(path);
    computed = ComputeFileSums(source, sums);
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  ASSERT_TRUE(computed);
  EXPECT_EQ(sums.size, kZeros + 16);
  // From an independent implementation (Python's hashlib) over the same bytes.
  EXPECT_EQ(Sha256Hex(sums.sha256), "faeb7d2783a0c5b31d01061a4928a1a0fa3b06138bf2892d23ef19bd7607a6c0");
  const std::vector<uint8_t> zeros(size_t{1} << 20);
  uint32_t crc = 0;
  for (uint64_t done = 0; done < kZeros; done += zeros.size()) crc = Crc32Update(crc, zeros.data(), zeros.size());
  EXPECT_EQ(sums.crc32, Crc32Update(crc, "0123456789abcdef", 16));
}

}  // namespace
