#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ios>
#include <random>
#include <string>
#include <vector>

#include "util/crc32.h"
#include "util/crc32_kernels.h"
#include "util/crc32_tables.h"
#include "util/file_sums.h"

#ifdef ORV_TEST_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {
using namespace orv;

// The independent reference: zlib where the build has it, the plain table method otherwise
// (itself pinned to the published check values below).
uint32_t ReferenceCrc(const uint8_t* data, size_t size) {
#ifdef ORV_TEST_HAVE_ZLIB
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(size)));
#else
  return ~Crc32BytewiseRaw(0xFFFFFFFFu, data, size);
#endif
}

struct Method {
  const char* name;
  uint32_t (*crc)(const uint8_t*, size_t);
};

const Method kMethods[] = {
    {"bytewise", [](const uint8_t* d, size_t n) { return ~Crc32BytewiseRaw(0xFFFFFFFFu, d, n); }},
    {"slicing", [](const uint8_t* d, size_t n) { return ~Crc32SlicingRaw(0xFFFFFFFFu, d, n); }},
    {"clmul", [](const uint8_t* d, size_t n) { return ~Crc32ClmulRaw(0xFFFFFFFFu, d, n); }},
    {"Crc32", [](const uint8_t* d, size_t n) { return Crc32(d, n); }},
};

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

bool MethodRuns(const Method& method) { return std::strcmp(method.name, "clmul") != 0 || Crc32ClmulUsable(); }

class TempFile {
 public:
  explicit TempFile(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("orv_crc32_test_" + std::to_string(std::random_device{}()) + "_" + name)) {}
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  void Write(const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path_.string();
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

TEST(Crc32, StandardTableAndCheckValues) {
  EXPECT_EQ(kCrc32Tables[0][0], 0x00000000u);
  EXPECT_EQ(kCrc32Tables[0][1], 0x77073096u);
  EXPECT_EQ(kCrc32Tables[0][128], kCrc32Polynomial);
  EXPECT_EQ(kCrc32Tables[0][255], 0x2D02EF8Du);

  struct Case {
    const char* text;
    uint32_t crc;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const Method& method : kMethods) {
    for (const Case& c : cases) {
      EXPECT_EQ(method.crc(reinterpret_cast<const uint8_t*>(c.text), std::strlen(c.text)), c.crc)
          << method.name << " over \"" << c.text << "\"";
    }
  }
}

TEST(Crc32, EveryLengthAndAlignmentAgreesWithReference) {
  std::cout << "clmul folding " << (Crc32ClmulUsable() ? "used" : "not available") << " here\n";
  constexpr size_t kMaxLength = 400;
  const std::vector<uint8_t> source = RandomBytes(kMaxLength + 16, 7);
  for (size_t offset : {0, 1, 3, 7, 13}) {
    for (size_t length = 0; length <= kMaxLength; ++length) {
      // Exactly sized, so that a read past the end is caught by the address sanitizer.
      std::vector<uint8_t> buffer(source.begin() + static_cast<std::ptrdiff_t>(16 - offset),
                                  source.begin() + static_cast<std::ptrdiff_t>(16 + length));
      const uint8_t* data = buffer.data() + offset;
      const uint32_t expected = ReferenceCrc(data, length);
      for (const Method& method : kMethods) {
        if (!MethodRuns(method)) continue;
        ASSERT_EQ(method.crc(data, length), expected) << method.name << " length " << length << " offset " << offset;
      }
    }
  }
}

TEST(Crc32, LargeBuffersAgreeWithReference) {
  for (size_t length : {size_t{4096}, size_t{65536 + 48}, size_t{(1u << 20) + 13}}) {
    const std::vector<uint8_t> bytes = RandomBytes(length, static_cast<uint32_t>(length));
    const uint32_t expected = ReferenceCrc(bytes.data(), length);
    for (const Method& method : kMethods) {
      if (!MethodRuns(method)) continue;
      EXPECT_EQ(method.crc(bytes.data(), length), expected) << method.name << " length " << length;
    }
  }
}

TEST(Crc32, UpdateContinuesAcrossAnySplit) {
  const std::vector<uint8_t> bytes = RandomBytes(300, 11);
  const uint32_t whole = Crc32(bytes.data(), bytes.size());
  for (size_t split = 0; split <= bytes.size(); ++split) {
    const uint32_t first = Crc32Update(0, bytes.data(), split);
    ASSERT_EQ(Crc32Update(first, bytes.data() + split, bytes.size() - split), whole) << "split at " << split;
  }
  for (size_t split : {size_t{64}, size_t{100}, size_t{200}}) {
    const uint32_t reg = Crc32ClmulUsable() ? Crc32ClmulRaw(0xFFFFFFFFu, bytes.data(), split)
                                            : Crc32SlicingRaw(0xFFFFFFFFu, bytes.data(), split);
    EXPECT_EQ(~Crc32SlicingRaw(reg, bytes.data() + split, bytes.size() - split), whole) << "split at " << split;
  }
}

TEST(FileCrc32, MatchesTheBytesAcrossChunkBoundaries) {
  constexpr size_t kChunk = kFileCrc32ChunkSize;
  const size_t sizes[] = {0, 1, 63, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 77};
  TempFile file("chunks");
  for (size_t size : sizes) {
    const std::vector<uint8_t> bytes = RandomBytes(size, static_cast<uint32_t>(size) + 1);
    file.Write(bytes);
    EXPECT_EQ(FileCrc32(file.path().wstring()), ReferenceCrc(bytes.data(), size)) << "size " << size;
  }
  file.Write({'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  EXPECT_EQ(FileCrc32(file.path().wstring()), 0xCBF43926u);
}

// Reads 4 GiB (half a minute on a busy machine): runs only when ORV_SLOW_TESTS is set.
TEST(FileCrc32, ReadsFilesOf4GiBAndMore) {
  if (std::getenv("ORV_SLOW_TESTS") == nullptr) GTEST_SKIP() << "set ORV_SLOW_TESTS=1 to read a 4 GiB file";
  // Sparse: four gibibytes of zeros, then sixteen bytes that a size cut to 32 bits would lose.
  constexpr uint64_t kZeros = uint64_t{1} << 32;
  const char tail[] = "0123456789abcdef";
  TempFile file("4GiB");
  file.Write({});
  std::filesystem::resize_file(file.path(), kZeros);
  {
    std::ofstream out(file.path(), std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(kZeros));
    out.write(tail, 16);
    ASSERT_TRUE(out.good());
  }
  ASSERT_EQ(std::filesystem::file_size(file.path()), kZeros + 16);

  const std::vector<uint8_t> zeros(size_t{1} << 20);
  uint32_t expected = 0;
  for (uint64_t done = 0; done < kZeros; done += zeros.size()) {
    expected = Crc32Update(expected, zeros.data(), zeros.size());
  }
  expected = Crc32Update(expected, tail, 16);
  EXPECT_EQ(FileCrc32(file.path().wstring()), expected);
}

TEST(FileCrc32, MissingFileThrowsTheOpenFailure) {
  const TempFile missing("does_not_exist");
  try {
    FileCrc32(missing.path().wstring());
    FAIL() << "no exception for " << missing.path().string();
  } catch (const std::ios_base::failure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind("Failed to open the file", 0), 0u) << failure.what();
    EXPECT_EQ(failure.code(), std::make_error_code(std::io_errc::stream));
  }
}

TEST(FileCrc32, ReadsAFileStillOpenForWriting) {
  TempFile file("open_for_writing");
  const std::vector<uint8_t> bytes = RandomBytes(1000, 3);
  std::ofstream writer(file.path(), std::ios::binary | std::ios::trunc);
  writer.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  writer.flush();
  ASSERT_TRUE(writer.good());
  EXPECT_EQ(FileCrc32(file.path().wstring()), ReferenceCrc(bytes.data(), bytes.size()));
}
