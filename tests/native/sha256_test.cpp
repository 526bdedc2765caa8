#include "util/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace {
using namespace orv;

struct Vector {
  const char* name;
  std::string message;
  const char* digest;
};

// FIPS 180-4 examples and the long-message test of the NIST SHA-256 vectors.
const Vector kVectors[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"896 bits",
     "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
     "nopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"one million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256, StandardVectorsWholeAndInPiecesOfEverySize) {
  for (const Vector& v : kVectors) {
    EXPECT_EQ(Sha256Hex(Sha256Of(v.message.data(), v.message.size())), v.digest) << v.name;
    // Pieces of 1 to 130 bytes cross the 64-byte block and the 56-byte padding boundaries.
    for (size_t piece : {size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64}, size_t{65}, size_t{130}}) {
      Sha256 sha;
      for (size_t at = 0; at < v.message.size(); at += piece) {
        sha.Update(v.message.data() + at, std::min(piece, v.message.size() - at));
      }
      EXPECT_EQ(Sha256Hex(sha.Finish()), v.digest) << v.name << " in pieces of " << piece;
    }
  }
}

TEST(Sha256, FinishResetsForTheNextMessage) {
  Sha256 sha;
  sha.Update("ignored", 7);
  (void)sha.Finish();
  sha.Update("abc", 3);
  EXPECT_EQ(Sha256Hex(sha.Finish()), kVectors[1].digest);
}

TEST(Sha256, LengthsAroundThePaddingBoundary) {
  // Every length from 0 to 200: the digest of a message split anywhere equals the whole one's.
  std::string message;
  for (size_t length = 0; length <= 200; ++length) {
    const Sha256Digest whole = Sha256Of(message.data(), message.size());
    Sha256 split;
    split.Update(message.data(), length / 3);
    split.Update(message.data() + length / 3, length - length / 3);
    EXPECT_EQ(split.Finish(), whole) << "length " << length;
    message += static_cast<char>('A' + length % 26);
  }
}

TEST(Sha256, ParsesExactlySixtyFourHexDigits) {
  const std::wstring abc = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::wstring mixed = abc;
  for (size_t i = 0; i < mixed.size(); i += 2) mixed[i] = static_cast<wchar_t>(std::towupper(mixed[i]));
  struct Case {
    std::wstring text;
    bool valid;
  };
  const Case cases[] = {
      {abc, true},
      {mixed, true},
      {std::wstring(64, L'F'), true},
      {abc.substr(1), false},
      {abc + L"0", false},
      {L"", false},
      {L"0x" + abc.substr(2), false},
      {L" " + abc.substr(1), false},
      {abc.substr(0, 63) + L"g", false},
      {abc.substr(0, 63) + L"\uff10", false},  // a full-width digit is no hexadecimal digit
      {abc.substr(0, 32) + L"-" + abc.substr(33), false},
  };
  for (const Case& c : cases) {
    Sha256Digest digest{};
    digest.fill(0xAA);
    const Sha256Digest before = digest;
    ASSERT_EQ(ParseSha256Hex(c.text, digest), c.valid) << std::string(c.text.begin(), c.text.end());
    if (c.valid) {
      std::wstring lower = c.text;
      for (wchar_t& ch : lower) ch = static_cast<wchar_t>(std::towlower(ch));
      const std::string hex = Sha256Hex(digest);
      EXPECT_EQ(std::wstring(hex.begin(), hex.end()), lower);
    } else {
      EXPECT_EQ(digest, before) << "a refused text leaves the digest untouched";
    }
  }
}

}  // namespace
