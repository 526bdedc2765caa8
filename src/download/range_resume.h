#pragma once
// Resuming a download: what an attempt asks for after the bytes already in the file, and whether
// the answer continues that file, replaces it or cannot be used.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

// A Content-Range value "bytes first-last/total"; total is empty for "*".
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  std::optional<uint64_t> total;
};

// Empty when text is not "bytes <first>-<last>/<total or *>" (unit in any case, digits only,
// first <= last, last < total); otherwise the range.
std::optional<ContentRange> ParseContentRange(std::string_view text);

// Empty when text is not a decimal number of at most 19 digits (spaces around allowed); otherwise
// its value (a Content-Length).
std::optional<uint64_t> ParseByteCount(std::string_view text);

// The If-Range value for later attempts from a response's ETag and Last-Modified values: the
// ETag when it is strong (quoted, without "W/"), otherwise Last-Modified, otherwise "" (no
// If-Range). A value longer than 256 characters or holding a character outside printable ASCII
// is never used.
std::string ChooseValidator(std::string_view etag, std::string_view lastModified);

// Where an attempt starts: the bytes already in the file and what an earlier response said of
// the whole file.
struct ResumePoint {
  uint64_t offset = 0;                // bytes kept in the file; 0 asks for the whole file
  std::optional<uint64_t> total;      // the whole file's size as the earlier response gave it
  std::string validator;              // If-Range value; "" for none
};

// "" at offset 0; otherwise the request header lines (CR LF between them, none at the end)
// "Range: bytes=<offset>-" and, with a validator, "If-Range: <validator>".
std::string ResumeHeaders(const ResumePoint& point);

// How the file is limited: at most `limit` bytes, and exactly that many when `exact` (the
// document names the size).
struct SizeRule {
  uint64_t limit = 0;
  bool exact = false;
};

// What to do with a 200, 206 or 416 answer.
enum class ResumeAction {
  Append,          // a 206 that continues the file: its body goes after the file's bytes
  WriteFromStart,  // a 200: the whole file; the file is emptied and the body written from 0
  StartOver,       // an answer that cannot continue the file: the file is emptied, the body
                   // dropped, and the next attempt asks for the whole file
  Refuse,          // a file of another size than the document names, or larger than the limit
};

struct ResumeDecision {
  ResumeAction action = ResumeAction::Refuse;
  uint64_t bodyStart = 0;          // the body's first byte in the file (Append: the offset)
  std::optional<uint64_t> total;   // the whole file's size as this answer gives it
  uint64_t readEnd = 0;            // Append and WriteFromStart: the body is read up to this file
                                   // offset at most: where the answer says it ends, or one byte
                                   // past the rule's limit when it does not say (a byte there
                                   // proves the file too large; no byte past the limit is kept)
  std::string reason;              // WriteFromStart with a non-zero offset, StartOver and Refuse:
                                   // why, for the log ("the server sent the whole file again")
};

// Judges the answer to an attempt that asked for point (status 200, 206, or 416 when a range was
// asked; contentRange "" when the header is missing). Append only for a 206 whose range starts at
// point.offset and whose total equals point.total (which must be known); WriteFromStart for a 200,
// and for a 206 from byte 0 of a file whose size it does not name (a whole answer of unknown
// length); StartOver for any other 206 and a 416. Refuse whenever the whole file's size the answer
// names breaks rule (checked before all else).
[[nodiscard]] ResumeDecision JudgeResumeAnswer(const ResumePoint& point, const SizeRule& rule, uint32_t status,
                                               std::optional<uint64_t> contentLength, std::string_view contentRange);

}  // namespace orv
