#include "download/range_resume.h"

#include "text/ascii_case.h"

namespace orv {
namespace {

constexpr size_t kMaxDigits = 19;  // every 19-digit number fits 64 bits
constexpr size_t kMaxValidatorChars = 256;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at text[at...] into value; false when there are none or too many.
bool ReadNumber(std::string_view text, size_t& at, uint64_t& value) {
  const size_t start = at;
  value = 0;
  while (at < text.size() && IsDigit(text[at])) {
    if (at - start == kMaxDigits) return false;
    value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    ++at;
  }
  return at > start;
}

bool IsPrintableAscii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

bool StartsWithBytesUnit(std::string_view text) {
  static constexpr char kUnit[] = "bytes";
  if (text.size() < sizeof(kUnit) - 1) return false;
  for (size_t i = 0; i + 1 < sizeof(kUnit); ++i) {
    if (AsciiLower(text[i]) != kUnit[i]) return false;
  }
  return true;
}

std::string Bytes(uint64_t count) { return std::to_string(count) + " bytes"; }

// Refuse when a whole-file size breaks the rule; nullopt when it keeps it.
std::optional<ResumeDecision> BreaksRule(const SizeRule& rule, uint64_t total) {
  ResumeDecision refused;
  if (rule.exact && total != rule.limit) {
    refused.reason = "the server announces " + Bytes(total) + ", the document says " + Bytes(rule.limit);
  } else if (total > rule.limit) {
    refused.reason = "the server announces " + Bytes(total) + ", more than the limit of " + Bytes(rule.limit);
  } else {
    return std::nullopt;
  }
  return refused;
}

// The end of a body that the answer says ends at `end` (nullopt: it does not say), read no further
// than one byte past the limit.
uint64_t ReadEnd(const SizeRule& rule, std::optional<uint64_t> end) {
  const uint64_t pastLimit = rule.limit + 1;
  return end && *end < pastLimit ? *end : pastLimit;
}

ResumeDecision StartOver(std::string reason) {
  ResumeDecision decision;
  decision.action = ResumeAction::StartOver;
  decision.reason = std::move(reason);
  return decision;
}

ResumeDecision JudgePart(const ResumePoint& point, const SizeRule& rule, std::string_view contentRange) {
  const std::optional<ContentRange> range = ParseContentRange(contentRange);
  if (!range) return StartOver("the server's part of the file has no usable Content-Range");
  if (range->total) {
    if (std::optional<ResumeDecision> refused = BreaksRule(rule, *range->total)) return *refused;
  }
  if (point.offset == 0 && range->first == 0 && !range->total) {
    // A whole answer of unknown length: bounded by the rule alone.
    ResumeDecision decision;
    decision.action = ResumeAction::WriteFromStart;
    decision.readEnd = ReadEnd(rule, range->last + 1);
    return decision;
  }
  if (range->first != point.offset) {
    return StartOver("the server sent the part from byte " + std::to_string(range->first) + ", not from byte " +
                     std::to_string(point.offset));
  }
  if (point.offset > 0) {
    if (!point.total) return StartOver("the size of the file was not known");
    if (range->total != point.total) {
      return StartOver("the server names a size of " +
                       (range->total ? Bytes(*range->total) : std::string("unknown bytes")) + ", not " +
                       Bytes(*point.total));
    }
  }
  ResumeDecision decision;
  decision.action = ResumeAction::Append;
  decision.bodyStart = point.offset;
  decision.total = range->total;
  decision.readEnd = ReadEnd(rule, range->last + 1);
  return decision;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view text) {
  if (!StartsWithBytesUnit(text)) return std::nullopt;
  size_t at = 5;
  if (at >= text.size() || text[at] != ' ') return std::nullopt;
  while (at < text.size() && text[at] == ' ') ++at;
  ContentRange range;
  if (!ReadNumber(text, at, range.first) || at >= text.size() || text[at++] != '-') return std::nullopt;
  if (!ReadNumber(text, at, range.last) || at >= text.size() || text[at++] != '/') return std::nullopt;
  if (range.last < range.first) return std::nullopt;
  if (at < text.size() && text[at] == '*') {
    ++at;
  } else {
    uint64_t total = 0;
    if (!ReadNumber(text, at, total) || range.last >= total) return std::nullopt;
    range.total = total;
  }
  return at == text.size() ? std::optional<ContentRange>(range) : std::nullopt;
}

std::optional<uint64_t> ParseByteCount(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  uint64_t value = 0;
  if (!ReadNumber(text, at, value)) return std::nullopt;
  while (at < text.size() && text[at] == ' ') ++at;
  return at == text.size() ? std::optional<uint64_t>(value) : std::nullopt;
}

std::string ChooseValidator(std::string_view etag, std::string_view lastModified) {
  const auto usable = [](std::string_view value) {
    return !value.empty() && value.size() <= kMaxValidatorChars && IsPrintableAscii(value);
  };
  const bool strongTag = etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
  if (strongTag && usable(etag)) return std::string(etag);
  if (usable(lastModified)) return std::string(lastModified);
  return {};
}

std::string ResumeHeaders(const ResumePoint& point) {
  if (point.offset == 0) return {};
  std::string headers = "Range: bytes=" + std::to_string(point.offset) + "-";
  if (!point.validator.empty()) headers += "\r\nIf-Range: " + point.validator;
  return headers;
}

ResumeDecision JudgeResumeAnswer(const ResumePoint& point, const SizeRule& rule, uint32_t status,
                                 std::optional<uint64_t> contentLength, std::string_view contentRange) {
  switch (status) {
    case 206:
      return JudgePart(point, rule, contentRange);
    case 200: {
      if (contentLength) {
        if (std::optional<ResumeDecision> refused = BreaksRule(rule, *contentLength)) return *refused;
      }
      ResumeDecision decision;
      decision.action = ResumeAction::WriteFromStart;
      decision.total = contentLength;
      decision.readEnd = ReadEnd(rule, contentLength);
      if (point.offset > 0) decision.reason = "the server sent the whole file again (HTTP status 200)";
      return decision;
    }
    case 416:
      return StartOver("the server refused the range (HTTP status 416)");
    default:
      return StartOver("HTTP status " + std::to_string(status));
  }
}

}  // namespace orv
