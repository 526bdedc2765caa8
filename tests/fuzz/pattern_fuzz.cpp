// libFuzzer target of the pattern matcher: compile, match and capture collection.
// Input: pattern bytes, one 0x00 byte, text bytes (the text may hold further zeros). Bytes below
// 0x80 are characters as they stand; 0x80-0xBF map to U+00C0-U+00FF, 0xC0-0xFF to U+0391-U+03D0.
// Built with ORV_FUZZ_REPLAY_MAIN, the program instead runs every file of the directories named
// on its command line once (for compilers without libFuzzer).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "pattern/pattern_captures.h"
#include "pattern/pattern_compiler.h"
#include "pattern/pattern_context.h"
#include "pattern/pattern_machine.h"
#include "pattern/pattern_matcher.h"
#include "pattern/pattern_start_filter.h"

namespace {
using namespace orv;

using K = InstructionKind;

constexpr size_t kMaxPattern = 512;
constexpr size_t kMaxText = 1024;
constexpr size_t kStackLimit = size_t{1} << 16;
constexpr uint64_t kStepLimit = 20000;

void Fail(int line) {
  std::fprintf(stderr, "pattern_fuzz.cpp:%d: check failed\n", line);
  std::abort();
}
#define Check(condition) \
  do {                   \
    if (!(condition)) Fail(__LINE__); \
  } while (false)

wchar_t Widen(uint8_t byte) {
  if (byte < 0x80) return static_cast<wchar_t>(byte);
  if (byte < 0xC0) return static_cast<wchar_t>(0xC0 + (byte - 0x80));
  return static_cast<wchar_t>(0x391 + (byte - 0xC0));
}

// Recompiling costs time exponential in nesting; cross-check only shallow patterns.
bool Shallow(const std::wstring& pattern) {
  size_t nesting = 0;
  for (wchar_t c : pattern) {
    if (c == L'(' || c == L'{' || c == L'!' || c == L'\\' || c == L'|') ++nesting;
  }
  return pattern.size() <= 64 && nesting <= 8;
}

void CheckProgram(const PatternProgram& program) {
  const auto& code = program.instructions;
  const int32_t size = static_cast<int32_t>(code.size());
  Check(size >= 3);
  Check(code[0].kind == K::Call && code[0].operand == 2);
  Check(code[1].kind == K::Advance || code[1].kind == K::Fail);
  Check(code.back().kind == K::Match);
  for (int32_t i = 0; i < size; ++i) {
    const Instruction& in = code[static_cast<size_t>(i)];
    switch (in.kind) {
      case K::Jump:
      case K::Call:
        Check(in.operand > 0 && in.operand < size);
        break;
      case K::CharSet:
      case K::NotCharSet:
        Check(in.operand > i + 1 && in.operand < size && (in.operand - i - 1) % 2 == 0);
        for (int32_t j = i + 1; j < in.operand; j += 2) {
          Check(code[static_cast<size_t>(j)].kind == K::Nop);
          Check(code[static_cast<size_t>(j)].operand <= code[static_cast<size_t>(j) + 1].operand);
        }
        i = in.operand - 1;
        break;
      case K::GroupBegin:
      case K::GroupEnd:
      case K::BackReference:
      case K::PushGroup:
      case K::PopGroup:
        Check(in.operand >= 0 && static_cast<uint32_t>(in.operand) < program.groupCount);
        break;
      case K::PushSlot:
      case K::PopSlot:
      case K::SavePos:
      case K::SaveStackTop:
      case K::RestorePos:
      case K::RestoreStackTop:
      case K::FailIfNoProgress:
        Check(in.operand >= 0 && static_cast<uint32_t>(in.operand) < program.slotCount);
        break;
      default:
        break;
    }
  }
}

void CheckRun(const MatchContext& context, bool matched, const wchar_t* text, size_t length,
              const wchar_t* end) {
  Check(context.LastOutcome() != RunOutcome::InvalidRun);
  Check(matched == (context.LastOutcome() == RunOutcome::Matched));
  if (!matched) return;
  const wchar_t* limit = text + length + 1;
  Check(context.MatchBegin() >= text && context.MatchBegin() <= context.MatchEnd());
  Check(context.MatchEnd() <= limit && end == context.MatchEnd());
  for (size_t i = 0; i < context.GroupCount(); ++i) {
    const MatchGroup group = context.Group(i);
    Check((group.begin == nullptr) == (group.end == nullptr));
    if (group.begin != nullptr) {
      Check(group.begin >= text && group.begin <= group.end && group.end <= limit);
    }
  }
}

// The captures as a fresh Match from each previous end gives them.
std::vector<std::wstring> MatchByMatch(const PatternMatcher& matcher, const std::wstring& text) {
  std::vector<std::wstring> results;
  std::vector<std::wstring> keys;
  MatchContext context(kStackLimit, kStepLimit);
  const wchar_t* start = text.c_str();
  const wchar_t* const limit = text.c_str() + text.size();
  const wchar_t* end = nullptr;
  while (matcher.Match(start, &context, &end)) {
    if (context.GroupCount() > 0 && context.Group(0).begin != nullptr) {
      const MatchGroup group = context.Group(0);
      std::wstring key;
      for (const wchar_t* p = group.begin; p < group.end && p < limit; ++p) {
        key += static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(*p)));
      }
      bool seen = false;
      for (const std::wstring& k : keys) seen = seen || k == key;
      if (!seen) {
        keys.push_back(key);
        results.emplace_back(group.begin, group.begin + key.size());
      }
    }
    if (end >= limit || end <= start) break;
    start = end;
  }
  return results;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t split = 0;
  while (split < size && data[split] != 0) ++split;
  if (split > kMaxPattern || size - split > kMaxText + 1) return 0;
  std::wstring pattern;
  for (size_t i = 0; i < split; ++i) pattern += Widen(data[i]);
  std::wstring text;
  for (size_t i = split + 1; i < size; ++i) text += Widen(data[i]);

  PatternProgram relocated;
  const PatternError error = CompilePattern(pattern.c_str(), relocated);
  if (error == PatternError::None) CheckProgram(relocated);
  if (Shallow(pattern)) {
    PatternProgram recompiled;
    const PatternError again =
        CompilePattern(pattern.c_str(), recompiled, CompileStrategy::Recompile);
    if (error != PatternError::OutOfMemory && again != PatternError::OutOfMemory) {
      Check(error == again);
      Check(relocated.instructions == recompiled.instructions);
      Check(relocated.groupCount == recompiled.groupCount);
      Check(relocated.slotCount == recompiled.slotCount);
    }
  }

  PatternMatcher matcher;
  Check(matcher.Compile(pattern.c_str()) == error);
  const std::wstring cut(text.c_str());  // what Match sees: up to the first zero
  MatchContext context(kStackLimit, kStepLimit);
  const wchar_t* end = nullptr;
  const bool matched = matcher.Match(cut.c_str(), &context, &end);
  Check(error == PatternError::None || !matched);
  if (error == PatternError::None) CheckRun(context, matched, cut.c_str(), cut.size(), end);

  // Passing over start positions the filter rejects changes nothing but the time taken.
  if (error == PatternError::None) {
    const std::wstring folded = FoldCase(cut.c_str(), cut.size());
    const StartFilter filter(relocated);
    MatchContext skipping(kStackLimit, kStepLimit);
    MatchContext attempting(kStackLimit, kStepLimit);
    size_t skippingEnd = 0;
    size_t attemptingEnd = 0;
    const bool a = PatternMachine::Run(relocated, folded.c_str(), cut.size(), 0, cut.c_str(),
                                       skipping, skippingEnd, &filter);
    const bool b = PatternMachine::Run(relocated, folded.c_str(), cut.size(), 0, cut.c_str(),
                                       attempting, attemptingEnd);
    if (skipping.LastOutcome() != RunOutcome::StepLimitReached &&
        attempting.LastOutcome() != RunOutcome::StepLimitReached) {
      Check(a == b && skippingEnd == attemptingEnd);
      Check(skipping.LastOutcome() == attempting.LastOutcome());
      Check(skipping.MatchBegin() == attempting.MatchBegin());
      for (size_t i = 0; i < skipping.GroupCount(); ++i) {
        Check(skipping.Group(i).begin == attempting.Group(i).begin);
        Check(skipping.Group(i).end == attempting.Group(i).end);
      }
    }
  }

  std::vector<std::wstring> results;
  MatchContext collecting(kStackLimit, kStepLimit);
  const bool found = FindAllCapturesWith(pattern, text, results, collecting);
  Check(found == (error == PatternError::None && !pattern.empty() && !text.empty()));
  if (found) Check(results == MatchByMatch(matcher, cut));

  // A budget for all searches together ends the collection early: the captures found are the
  // first ones of the full collection, and the context keeps its own limit.
  std::vector<std::wstring> budgeted;
  const bool foundWithin = FindAllCapturesWith(pattern, text, budgeted, collecting, 5000);
  Check(foundWithin == found && budgeted.size() <= results.size());
  Check(std::equal(budgeted.begin(), budgeted.end(), results.begin()));
  Check(collecting.StepLimit() == kStepLimit);
  return 0;
}

#ifdef ORV_FUZZ_REPLAY_MAIN
#include <dirent.h>

#include <fstream>
#include <iterator>

int main(int argc, char** argv) {
  int files = 0;
  for (int a = 1; a < argc; ++a) {
    DIR* dir = opendir(argv[a]);
    if (dir == nullptr) return 2;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::ifstream file(std::string(argv[a]) + "/" + name, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++files;
    }
    closedir(dir);
  }
  std::printf("replayed %d inputs\n", files);
  return files > 0 ? 0 : 1;
}
#endif
