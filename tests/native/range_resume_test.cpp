// Resuming: the answer to a resumed attempt of every kind and how far its body is read, the
// Content-Range values, the validator sent back in If-Range, and the pace watch of an attempt.
#include <gtest/gtest.h>

#include <string>

#include "download/range_resume.h"
#include "download/trickle_watch.h"

namespace {

using namespace orv;

const char* ActionName(ResumeAction action) {
  switch (action) {
    case ResumeAction::Append: return "Append";
    case ResumeAction::WriteFromStart: return "WriteFromStart";
    case ResumeAction::StartOver: return "StartOver";
    case ResumeAction::Refuse: return "Refuse";
  }
  return "?";
}

}  // namespace

TEST(RangeResume, EveryKindOfAnswerToAResumedAttempt) {
  struct Case {
    const char* name;
    ResumePoint point;
    SizeRule rule;
    uint32_t status;
    std::optional<uint64_t> contentLength;
    const char* contentRange;
    ResumeAction action;
    std::optional<uint64_t> total;
    const char* reason;  // "" when none is given
  };
  const ResumePoint at600{600, 1000, "\"v1\""};
  const SizeRule loose{1u << 20, false};
  const Case cases[] = {
      {"206 at the right start with the same total", at600, loose, 206, 400, "bytes 600-999/1000",
       ResumeAction::Append, 1000, ""},
      {"206 that ends early is still a continuation", at600, loose, 206, 100, "bytes 600-699/1000",
       ResumeAction::Append, 1000, ""},
      {"206 from another start", at600, loose, 206, 500, "bytes 500-999/1000", ResumeAction::StartOver, std::nullopt,
       "the server sent the part from byte 500, not from byte 600"},
      {"206 with another total", at600, loose, 206, 400, "bytes 600-1199/1200", ResumeAction::StartOver, std::nullopt,
       "the server names a size of 1200 bytes, not 1000 bytes"},
      {"206 with an unknown total", at600, loose, 206, 400, "bytes 600-999/*", ResumeAction::StartOver, std::nullopt,
       "the server names a size of unknown bytes, not 1000 bytes"},
      {"206 without Content-Range", at600, loose, 206, 400, "", ResumeAction::StartOver, std::nullopt,
       "the server's part of the file has no usable Content-Range"},
      {"206 with a garbled Content-Range", at600, loose, 206, 400, "bytes 600-999", ResumeAction::StartOver,
       std::nullopt, "the server's part of the file has no usable Content-Range"},
      {"206 when the size was never known", {600, std::nullopt, ""}, loose, 206, 400, "bytes 600-999/1000",
       ResumeAction::StartOver, std::nullopt, "the size of the file was not known"},
      {"200 instead of the part: the whole file again", at600, loose, 200, 1000, "", ResumeAction::WriteFromStart,
       1000, "the server sent the whole file again (HTTP status 200)"},
      {"200 without length", at600, loose, 200, std::nullopt, "", ResumeAction::WriteFromStart, std::nullopt,
       "the server sent the whole file again (HTTP status 200)"},
      {"416 to the range", at600, loose, 416, 0, "bytes */1000", ResumeAction::StartOver, std::nullopt,
       "the server refused the range (HTTP status 416)"},
      {"first attempt: 200", {0, std::nullopt, ""}, loose, 200, 1000, "", ResumeAction::WriteFromStart, 1000, ""},
      {"first attempt: 206 from 0 is a whole file", {0, std::nullopt, ""}, loose, 206, 1000, "bytes 0-999/1000",
       ResumeAction::Append, 1000, ""},
      {"the document's size, met", at600, {1000, true}, 206, 400, "bytes 600-999/1000", ResumeAction::Append, 1000,
       ""},
      {"the document's size, broken by a 200", {0, std::nullopt, ""}, {999, true}, 200, 1000, "", ResumeAction::Refuse,
       std::nullopt, "the server announces 1000 bytes, the document says 999 bytes"},
      {"the document's size, broken by a 206 total", at600, {999, true}, 206, 400, "bytes 600-999/1000",
       ResumeAction::Refuse, std::nullopt, "the server announces 1000 bytes, the document says 999 bytes"},
      {"past the limit", {0, std::nullopt, ""}, {999, false}, 200, 1000, "", ResumeAction::Refuse, std::nullopt,
       "the server announces 1000 bytes, more than the limit of 999 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ResumeDecision decision = JudgeResumeAnswer(c.point, c.rule, c.status, c.contentLength, c.contentRange);
    EXPECT_STREQ(ActionName(decision.action), ActionName(c.action));
    if (c.action != ResumeAction::StartOver && c.action != ResumeAction::Refuse) {
      EXPECT_EQ(decision.total, c.total);
    }
    EXPECT_EQ(decision.reason, c.reason);
    if (decision.action == ResumeAction::Append) {
      EXPECT_EQ(decision.bodyStart, c.point.offset);
    }
  }
}

TEST(RangeResume, ContentRangeAndByteCountTexts) {
  struct Case {
    const char* text;
    bool valid;
    uint64_t first, last;
    std::optional<uint64_t> total;
  };
  const Case cases[] = {
      {"bytes 0-99/100", true, 0, 99, 100},
      {"Bytes  5-5/6", true, 5, 5, 6},
      {"bytes 4294967296-8589934591/8589934592", true, 4294967296ull, 8589934591ull, 8589934592ull},
      {"bytes 0-99/*", true, 0, 99, std::nullopt},
      {"bytes 0-100/100", false, 0, 0, std::nullopt},   // last past the end
      {"bytes 9-8/100", false, 0, 0, std::nullopt},     // backwards
      {"bytes */100", false, 0, 0, std::nullopt},       // the 416 form names no part
      {"bytes=0-99/100", false, 0, 0, std::nullopt},
      {"items 0-99/100", false, 0, 0, std::nullopt},
      {"bytes 0-99/100 ", false, 0, 0, std::nullopt},
      {"bytes -1-99/100", false, 0, 0, std::nullopt},
      {"bytes 0-99/99999999999999999999", false, 0, 0, std::nullopt},  // 20 digits
      {"", false, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<ContentRange> range = ParseContentRange(c.text);
    ASSERT_EQ(range.has_value(), c.valid);
    if (!range) continue;
    EXPECT_EQ(range->first, c.first);
    EXPECT_EQ(range->last, c.last);
    EXPECT_EQ(range->total, c.total);
  }
  EXPECT_EQ(ParseByteCount(" 1048576 "), 1048576u);
  EXPECT_EQ(ParseByteCount("12a"), std::nullopt);
  EXPECT_EQ(ParseByteCount(""), std::nullopt);
}

TEST(RangeResume, NoAnswerIsReadFurtherThanOneBytePastTheLimit) {
  struct Case {
    const char* name;
    ResumePoint point;
    uint32_t status;
    std::optional<uint64_t> contentLength;
    const char* contentRange;
    ResumeAction action;
    std::optional<uint64_t> total;
    uint64_t readEnd;
  };
  const ResumePoint start{0, std::nullopt, ""};
  const SizeRule size1000{1000, true};
  const Case cases[] = {
      {"206 from 0 of an unknown whole, claiming 100 GB", start, 206, std::nullopt, "bytes 0-99999999999/*",
       ResumeAction::WriteFromStart, std::nullopt, 1001},
      {"206 from 0 of an unknown whole, a short part", start, 206, 100, "bytes 0-99/*", ResumeAction::WriteFromStart,
       std::nullopt, 100},
      {"200 without length", start, 200, std::nullopt, "", ResumeAction::WriteFromStart, std::nullopt, 1001},
      {"200 with the size", start, 200, 1000, "", ResumeAction::WriteFromStart, 1000, 1000},
      {"206 from 0 of the whole", start, 206, 1000, "bytes 0-999/1000", ResumeAction::Append, 1000, 1000},
      {"206 continuing at 600", {600, 1000, ""}, 206, 400, "bytes 600-999/1000", ResumeAction::Append, 1000, 1000},
      {"206 continuing, ending early", {600, 1000, ""}, 206, 100, "bytes 600-699/1000", ResumeAction::Append, 1000,
       700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ResumeDecision decision = JudgeResumeAnswer(c.point, size1000, c.status, c.contentLength, c.contentRange);
    EXPECT_EQ(ActionName(decision.action), std::string(ActionName(c.action)));
    EXPECT_EQ(decision.total, c.total);
    EXPECT_EQ(decision.readEnd, c.readEnd);
    EXPECT_EQ(decision.reason, "");
  }
}

TEST(RangeResume, ValidatorAndRequestHeaders) {
  struct Case {
    const char* name;
    const char* etag;
    const char* lastModified;
    const char* validator;
  };
  const Case cases[] = {
      {"strong ETag", "\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT", "\"abc\""},
      {"weak ETag: Last-Modified instead", "W/\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT",
       "Tue, 01 Dec 2026 10:00:00 GMT"},
      {"weak ETag, no date: none", "W/\"abc\"", "", ""},
      {"unquoted ETag is no strong one", "abc", "", ""},
      {"a line break would add a header", "\"a\r\nX: y\"", "Tue\r\nX: y", ""},
      {"none at all", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseValidator(c.etag, c.lastModified), c.validator);
  }
  EXPECT_EQ(ResumeHeaders({0, 1000, "\"abc\""}), "");
  EXPECT_EQ(ResumeHeaders({600, 1000, "\"abc\""}), "Range: bytes=600-\r\nIf-Range: \"abc\"");
  EXPECT_EQ(ResumeHeaders({600, 1000, ""}), "Range: bytes=600-");
}

TEST(TrickleWatch, GivesUpWhenTooFewBytesComeWithinTheWindow) {
  struct Step {
    uint64_t atMs;
    uint64_t received;  // bytes in all at atMs
    bool expired;       // Expired(atMs) after the note
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"silence from the start", {{59999, 0, false}, {60000, 0, true}}},
      {"a trickle below the bytes", {{20000, 1000, false}, {40000, 3000, false}, {60000, 4095, true}}},
      {"enough bytes open a new window where they became enough",
       {{30000, 4096, false}, {89999, 4096, false}, {90000, 4096, true}}},
      {"steady pace never ends", {{50000, 5000, false}, {100000, 10000, false}, {150000, 15000, false}}},
      {"bytes after the end do not revive it", {{60000, 0, true}, {60001, 9000, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrickleWatch watch(0, 60000, 4096);
    for (const Step& step : c.steps) {
      watch.Note(step.received, step.atMs);
      EXPECT_EQ(watch.Expired(step.atMs), step.expired) << "at " << step.atMs;
      EXPECT_EQ(watch.MsLeft(step.atMs) == 0, step.expired) << "at " << step.atMs;
    }
  }
}

TEST(TrickleWatch, APaceBelowTheRateEndsTheAttemptHoweverTheBytesAreSpread) {
  constexpr uint64_t kKiB = 1024;
  struct Step {
    uint64_t atMs;
    uint64_t received;  // bytes in all at atMs
    bool expired;       // Expired(atMs) after the note
    uint64_t msLeft;    // MsLeft(atMs)
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool silent;  // Silent() at the end
  };
  const Case cases[] = {
      {"4 KiB every 59 s: never a gap, far below the rate",
       {{59000, 4 * kKiB, false, 1000}, {60000, 4 * kKiB, true, 0}, {118000, 8 * kKiB, true, 0}}, false},
      {"16 KiB every 14 s keeps going, until the pieces stop",
       {{14000, 16 * kKiB, false, 46000},
        {28000, 32 * kKiB, false, 32000},
        {42000, 48 * kKiB, false, 18000},
        {56000, 64 * kKiB, false, 18000},
        {70000, 80 * kKiB, false, 18000},
        {87999, 80 * kKiB, false, 1},
        {88000, 80 * kKiB, true, 0}},
       false},
      {"a fast start does not carry a slow minute",
       {{1000, 1024 * kKiB, false, 60000}, {30000, 1040 * kKiB, false, 31000}, {61000, 1056 * kKiB, true, 0}}, false},
      {"silence after a fast start",
       {{1000, 1024 * kKiB, false, 60000}, {60999, 1024 * kKiB, false, 1}, {61000, 1024 * kKiB, true, 0}}, true},
      {"silence from the start", {{59999, 0, false, 1}, {60000, 0, true, 0}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrickleWatch watch(0, 60000, 64 * kKiB);
    for (const Step& step : c.steps) {
      watch.Note(step.received, step.atMs);
      EXPECT_EQ(watch.Expired(step.atMs), step.expired) << "at " << step.atMs;
      EXPECT_EQ(watch.MsLeft(step.atMs), step.msLeft) << "at " << step.atMs;
    }
    EXPECT_EQ(watch.Silent(), c.silent);
  }
}

TEST(TrickleWatch, ThousandsOfSmallNotesWithinAWindowStillCountAsTheirSum) {
  // A note every millisecond: far more notes than the watch keeps slots.
  TrickleWatch watch(0, 60000, 65536);
  uint64_t received = 0;
  for (uint64_t ms = 1; ms <= 120000; ++ms) {
    received += 2;  // 2 bytes a millisecond: 120 KB a minute, above the rate
    watch.Note(received, ms);
    ASSERT_FALSE(watch.Expired(ms)) << "at " << ms;
  }
  // 1 byte a millisecond from here: 60 KB a minute, below it.
  uint64_t ms = 120001;
  for (; ms <= 240000 && !watch.Expired(ms); ++ms) watch.Note(++received, ms);
  EXPECT_GT(ms, 120000u + 30000u);
  EXPECT_LE(ms, 120000u + 60000u + 1000u);
}
