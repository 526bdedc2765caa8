#include "util/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "util/sha256_kernels.h"

namespace {
using namespace orv;

struct Method {
  const char* name;
  Sha256BlockMethod blocks;  // nullptr: the one Sha256() chooses
};

const Method kMethods[] = {
    {"portable", orv::Sha256BlocksPortable},
    {"SHA extensions", orv::Sha256BlocksShani},
    {"chosen", nullptr},
};

// False for the SHA extensions' method on a processor without them (it must not run there).
bool Runs(const Method& method) { return method.blocks != orv::Sha256BlocksShani || orv::Sha256ShaniUsable(); }

Sha256 Make(const Method& method) { return method.blocks != nullptr ? Sha256(method.blocks) : Sha256(); }

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
  }
  for (const Method& method : kMethods) {
    if (!Runs(method)) continue;
    for (const Vector& v : kVectors) {
      // Pieces of 1 to 130 bytes cross the 64-byte block and the 56-byte padding boundaries.
      for (size_t piece : {v.message.size() + 1, size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64},
                           size_t{65}, size_t{130}}) {
        Sha256 sha = Make(method);
        for (size_t at = 0; at < v.message.size(); at += piece) {
          sha.Update(v.message.data() + at, std::min(piece, v.message.size() - at));
        }
        EXPECT_EQ(Sha256Hex(sha.Finish()), v.digest) << method.name << ": " << v.name << " in pieces of " << piece;
      }
    }
  }
}

// The processor's method against the portable one on pseudo-random messages of every length
// around the block and padding boundaries and a few long ones, whole and in pieces of odd sizes
// (which also hands the methods blocks at every alignment).
TEST(Sha256, TheProcessorsMethodAgreesWithThePortableOne) {
  if (!orv::Sha256ShaniUsable()) GTEST_SKIP() << "this processor has no SHA extensions";
  std::vector<size_t> lengths;
  for (size_t length = 0; length <= 130; ++length) lengths.push_back(length);
  lengths.insert(lengths.end(), {size_t{1000}, size_t{4096 + 7}, size_t{1} << 20});
  const std::vector<size_t> pieces = {1, 3, 7, 13, 31, 61, 67, 127, 129, 509, 4099};
  std::mt19937 random(20);
  for (const size_t length : lengths) {
    std::vector<uint8_t> message(length);
    for (uint8_t& byte : message) byte = static_cast<uint8_t>(random());
    Sha256 portable(orv::Sha256BlocksPortable);
    portable.Update(message.data(), message.size());
    const Sha256Digest expected = portable.Finish();

    Sha256 whole(orv::Sha256BlocksShani);
    whole.Update(message.data(), message.size());
    EXPECT_EQ(Sha256Hex(whole.Finish()), Sha256Hex(expected)) << "length " << length;

    Sha256 split(orv::Sha256BlocksShani);
    size_t at = 0;
    for (size_t call = 0; at < length; ++call) {
      const size_t piece = std::min(pieces[call % pieces.size()], length - at);
      split.Update(message.data() + at, piece);
      at += piece;
    }
    EXPECT_EQ(Sha256Hex(split.Finish()), Sha256Hex(expected)) << "length " << length << " in odd pieces";
  }
}

// The run-time choice against the processor's own account of itself, where Linux gives one.
TEST(Sha256, UsesTheSHAExtensionsExactlyWhenTheProcessorHasThem) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
  }
  if (line.empty()) GTEST_SKIP() << "no /proc/cpuinfo flags line here";
  std::istringstream words(line);
  bool sha = false, sse41 = false, ssse3 = false;
  for (std::string flag; words >> flag;) {
    sha = sha || flag == "sha_ni";
    sse41 = sse41 || flag == "sse4_1";
    ssse3 = ssse3 || flag == "ssse3";
  }
  EXPECT_EQ(orv::Sha256ShaniUsable(), orv::Sha256ShaniBuilt() && sha && sse41 && ssse3) << line;
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_TRUE(orv::Sha256ShaniBuilt());
#endif
}

TEST(Sha256, FinishResetsForTheNextMessage) {
  for (const Method& method : kMethods) {
    if (!Runs(method)) continue;
    Sha256 sha = Make(method);
    sha.Update("ignored", 7);
    (void)sha.Finish();
    sha.Update(kVectors[3].message.data(), kVectors[3].message.size());
    EXPECT_EQ(Sha256Hex(sha.Finish()), kVectors[3].digest) << method.name;
  }
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
