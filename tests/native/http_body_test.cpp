#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/body_buffer.h"
#include "text/utf8.h"

namespace {
using namespace orv;

bool ZeroFrom(const BodyBuffer& buffer, uint32_t from) {
  for (uint32_t i = from; i < buffer.capacity(); ++i) {
    if (buffer.data()[i] != 0) return false;
  }
  return true;
}

}  // namespace

TEST(BodyBuffer, StartsAt10240ZeroFilledBytes) {
  BodyBuffer buffer;
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(buffer.capacity(), 0u);
  ASSERT_TRUE(buffer.reset());
  EXPECT_EQ(buffer.capacity(), 10240u);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_TRUE(ZeroFrom(buffer, 0));
}

TEST(BodyBuffer, DoublesWhenTheDataWouldReachTheCapacity) {
  struct Case {
    std::vector<uint32_t> pieces;
    uint32_t capacity;
  };
  const Case cases[] = {
      {{10239}, 10240},          // one zero byte still fits
      {{10240}, 20480},          // exactly 10240 bytes: doubled so a zero byte follows
      {{10239, 1}, 20480},       //
      {{5000, 5000, 239}, 10240},
      {{50000}, 81920},          // several doublings in one step
      {{20479, 1}, 40960},
      {{0, 0}, 10240},
  };
  for (const Case& c : cases) {
    BodyBuffer buffer;
    ASSERT_TRUE(buffer.reset());
    std::vector<unsigned char> expected;
    unsigned char next = 1;
    for (uint32_t length : c.pieces) {
      std::vector<unsigned char> piece(length);
      for (unsigned char& b : piece) b = next++ | 1;  // never zero
      ASSERT_EQ(buffer.append(piece.data(), length), BodyBuffer::AppendResult::Appended);
      expected.insert(expected.end(), piece.begin(), piece.end());
    }
    SCOPED_TRACE(::testing::PrintToString(c.pieces));
    EXPECT_EQ(buffer.capacity(), c.capacity);
    ASSERT_EQ(buffer.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.data()));
    EXPECT_TRUE(ZeroFrom(buffer, buffer.size()));
  }
}

TEST(BodyBuffer, RefusesDataBeyondTheLimitAndKeepsWhatItHas) {
  BodyBuffer buffer;
  ASSERT_TRUE(buffer.reset());
  std::vector<unsigned char> chunk(1024 * 1024, 0x5a);
  for (uint32_t i = 0; i < BodyBuffer::kMaxBodyBytes / chunk.size(); ++i) {
    ASSERT_EQ(buffer.append(chunk.data(), static_cast<uint32_t>(chunk.size())), BodyBuffer::AppendResult::Appended)
        << i;
  }
  EXPECT_EQ(buffer.size(), BodyBuffer::kMaxBodyBytes);
  EXPECT_EQ(buffer.capacity(), 10240u * 2048u);  // first doubling above 16 MiB
  EXPECT_FALSE(buffer.fits(1));
  EXPECT_TRUE(buffer.fits(0));
  const unsigned char one = 1;
  EXPECT_EQ(buffer.append(&one, 1), BodyBuffer::AppendResult::TooLarge);
  EXPECT_EQ(buffer.size(), BodyBuffer::kMaxBodyBytes);
  EXPECT_EQ(buffer.data()[buffer.size()], 0);

  // A single huge piece is refused before anything is allocated for it.
  ASSERT_TRUE(buffer.reset());
  EXPECT_FALSE(buffer.fits(0xFFFFFFFFu));
  EXPECT_EQ(buffer.append(chunk.data(), BodyBuffer::kMaxBodyBytes + 1), BodyBuffer::AppendResult::TooLarge);
  EXPECT_EQ(buffer.capacity(), 10240u);
}

TEST(BodyBuffer, ResetDropsThePreviousBody) {
  BodyBuffer buffer;
  ASSERT_TRUE(buffer.reset());
  std::vector<unsigned char> piece(30000, 7);
  ASSERT_EQ(buffer.append(piece.data(), 30000), BodyBuffer::AppendResult::Appended);
  ASSERT_TRUE(buffer.reset());
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(buffer.capacity(), 10240u);
  EXPECT_TRUE(ZeroFrom(buffer, 0));
}

TEST(BodyEncoding, Utf8OnlyForAUtf8Prefix) {
  struct Case {
    const wchar_t* charset;
    bool utf8;
  };
  const Case cases[] = {
      {L"UTF-8", true},  {L"utf-8", true},       {L"uTf-8", true},  {L"utf-8x", true},
      {L"utf8", false},  {L"", false},           {L"utf-", false},  {L"iso-8859-1", false},
      {L"UTF-16", false}, {L" utf-8", false},
  };
  for (const Case& c : cases) {
    const BodyEncoding encoding = ChooseBodyEncoding(c.charset);
    if (c.utf8) {
      EXPECT_EQ(encoding.codePage, 65001u) << ToUtf8(c.charset);
      EXPECT_EQ(encoding.flags, 0u) << ToUtf8(c.charset);
    } else {
      EXPECT_EQ(encoding.codePage, 0u) << ToUtf8(c.charset);
      EXPECT_EQ(encoding.flags, 1u) << ToUtf8(c.charset);
    }
  }
}
