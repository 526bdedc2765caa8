// How the download's body moves: the size of each read as the link's pace changes, and the file
// written in large pieces without holding a slow link's bytes back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/piece_writer.h"
#include "download/read_pace.h"

namespace {

using namespace orv;

TEST(ReadPace, ReadsGrowWhileTheyFillQuicklyAndShrinkToTheLinksPace) {
  struct Read {
    uint32_t brought;
    uint64_t tookMs;
    uint32_t next;  // Next() afterwards
  };
  struct Case {
    const char* name;
    std::vector<Read> reads;  // each asks for Next()
  };
  // Reads of 1 KiB to 64 KiB, each meant to take 1 s.
  const Case cases[] = {
      {"a fast link: doubling up to the largest read",
       {{1024, 0, 2048}, {2048, 0, 4096}, {4096, 1, 8192}, {8192, 0, 16384}, {16384, 0, 32768}, {32768, 0, 65536},
        {65536, 0, 65536}}},
      {"a link that slows down: the read shrinks to what 1 s brings",
       {{1024, 0, 2048}, {2048, 0, 4096}, {4096, 2000, 2048}, {2048, 1000, 2048}}},
      {"slower than the smallest read: the smallest", {{1024, 30000, 1024}, {1024, 60000, 1024}}},
      {"a short read that came quickly: the platform gave what it had", {{1024, 0, 2048}, {700, 10, 2048}}},
      {"a slow read never makes the next one larger", {{1024, 0, 2048}, {2048, 600, 2048}}},
      {"half the target time is still quick", {{1024, 500, 2048}, {2048, 501, 2048}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadPace pace(1000, 1024, 65536);
    EXPECT_EQ(pace.Next(), 1024u);
    for (size_t i = 0; i < c.reads.size(); ++i) {
      pace.Note(pace.Next(), c.reads[i].brought, c.reads[i].tookMs);
      EXPECT_EQ(pace.Next(), c.reads[i].next) << "after read " << i + 1;
    }
  }
}

// The file as the pieces reach it: each write's size, and a failure on the write numbered failAt.
class RecordingFile final : public FileWriter {
 public:
  explicit RecordingFile(size_t failAt = 0) : failAt_(failAt) {}
  uint64_t size() const override { return bytes_.size(); }
  Status Append(const void* data, size_t size) override {
    writes_.push_back(size);
    if (writes_.size() == failAt_) return Status::Failure(112, "WriteFile");
    bytes_.append(static_cast<const char*>(data), size);
    return {};
  }
  Status Truncate() override {
    bytes_.clear();
    return {};
  }
  const std::string& bytes() const { return bytes_; }
  const std::vector<size_t>& writes() const { return writes_; }

 private:
  size_t failAt_;
  std::string bytes_;
  std::vector<size_t> writes_;
};

TEST(PieceWriter, WritesFullPiecesAndNothingHeldLongerThanItsTime) {
  struct Add {
    size_t size;
    uint64_t atMs;
  };
  struct Case {
    const char* name;
    std::vector<Add> adds;
    bool flush;                  // Flush() at the end
    std::vector<size_t> writes;  // the file's writes, in order
    size_t held;
  };
  // Pieces of 100 bytes, held at most 1000 ms.
  const Case cases[] = {
      {"small reads gather into one piece", {{40, 0}, {40, 1}, {40, 2}}, false, {100}, 20},
      {"a read larger than a piece fills it and carries on", {{250, 0}}, false, {100, 100}, 50},
      {"a slow link: held bytes go once the first has waited its time", {{10, 0}, {10, 999}, {10, 1000}}, false,
       {30}, 0},
      {"the time counts from the first byte held, not the last write", {{100, 0}, {10, 5000}, {10, 5999}}, false,
       {100}, 20},
      {"the end writes what is held", {{30, 0}, {30, 1}}, true, {60}, 0},
      {"nothing held, nothing written", {}, true, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingFile file;
    PieceWriter pieces(file, 100, 1000);
    std::string sent;
    for (const Add& add : c.adds) {
      const std::string bytes(add.size, static_cast<char>('a' + sent.size() % 26));
      sent += bytes;
      ASSERT_TRUE(pieces.Add(bytes.data(), bytes.size(), add.atMs).ok());
    }
    if (c.flush) {
      ASSERT_TRUE(pieces.Flush().ok());
    }
    EXPECT_EQ(file.writes(), c.writes);
    EXPECT_EQ(pieces.held(), c.held);
    EXPECT_EQ(file.bytes(), sent.substr(0, sent.size() - c.held)) << "the bytes in order, none lost";
  }
}

TEST(PieceWriter, AFailedWriteIsReported) {
  RecordingFile file(2);
  PieceWriter pieces(file, 100, 1000);
  const std::string bytes(150, 'x');
  ASSERT_TRUE(pieces.Add(bytes.data(), bytes.size(), 0).ok());
  const Status failed = pieces.Add(bytes.data(), bytes.size(), 1);
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.code(), 112u);
}

}  // namespace
