// Pattern matcher against std::wregex (icase) doing the same extraction, and the cost of many
// matches over one large text. Prints the usual table, then the ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cwctype>
#include <map>
#include <regex>
#include <string>
#include <unordered_set>
#include <vector>

#include "pattern/pattern_captures.h"
#include "pattern/pattern_matcher.h"

namespace {
using namespace orv;

struct Extraction {
  const char* name;
  const wchar_t* pattern;  // the matcher's syntax
  const wchar_t* regex;    // the same for std::wregex (ECMAScript)
};

const Extraction kExtractions[] = {
    {"charset", L"charset={[A-Za-z0-9\\-_]+}", L"charset=([A-Za-z0-9\\-_]+)"},
    {"content-length", L"Content-Length: {[0-9]+}", L"Content-Length: ([0-9]+)"},
    {"location", L"Location: {[0-9]+}", L"Location: ([0-9]+)"},
    {"cookie", L"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie:[ \\t]*([\\s\\S]+?)(?:\\r|\\r?\\n)"},
    {"html", L"{<html>}", L"(<html>)"},
    {"html-end", L"{</html>}", L"(</html>)"},
};

std::wstring HeaderBlock() {
  std::wstring block =
      L"HTTP/1.1 200 OK\r\n"
      L"Date: Mon, 07 Dec 2026 08:10:42 GMT\r\n"
      L"Server: Apache/2.4.58 (Unix)\r\n"
      L"Content-Type: text/html; charset=UTF-8\r\n"
      L"Content-Length: 48213\r\n"
      L"Location: 301\r\n"
      L"Cache-Control: no-cache, no-store, must-revalidate\r\n";
  for (int i = 0; block.size() < 2048 - 64; ++i) {
    block += (i % 2 ? L"set-cookie: pref" : L"Set-Cookie: session") + std::to_wstring(i) +
             L"=a81f09c7e2d4b6; Path=/; Secure; HttpOnly\r\n";
  }
  block += L"X-Frame-Options: SAMEORIGIN\r\n";
  while (block.size() < 2048 - 2) block += L"x";
  return block + L"\r\n";
}

std::wstring Page() {
  std::wstring page =
      L"<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head><meta charset=\"utf-8\">"
      L"<title>Orvandel</title></head>\r\n<body>\r\n";
  for (int i = 0; page.size() < 65536 - 200; ++i) {
    page += L"<div class=\"row\"><p>Item " + std::to_wstring(i) +
            L": the quick brown fox jumps over the lazy dog, Content 42.</p></div>\r\n";
  }
  page += L"<p>Location: 7</p></body>\r\n</html>\r\n";
  return page;
}

std::vector<std::wstring> WregexCaptures(const wchar_t* expression, const std::wstring& text) {
  const std::wregex regex(expression, std::regex::ECMAScript | std::regex::icase);
  std::vector<std::wstring> results;
  std::unordered_set<std::wstring> seen;
  for (std::wsregex_iterator it(text.begin(), text.end(), regex), end; it != end; ++it) {
    std::wstring key = (*it)[1].str();
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    if (seen.insert(key).second) results.push_back((*it)[1].str());
  }
  return results;
}

// Real time per iteration of each benchmark, by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nratio matcher / std::wregex icase (target <= 0.5)\n");
    for (const Extraction& e : kExtractions) {
      for (const char* text : {"headers-2KiB", "page-64KiB"}) {
        const std::string suffix = std::string(e.name) + "/" + text;
        Print(suffix, "Matcher/" + suffix, "Wregex/" + suffix);
      }
    }
    std::printf("\nratio FindAllCaptures(\"{<html>}\") over 1 MiB with 100000 tags / one Match "
                "over 1 MiB without tags (target < 20)\n");
    Print("html-1MiB", "FindAllCaptures/1MiB-100000-tags", "Match/1MiB-no-tags");
  }

 private:
  void Print(const std::string& label, const std::string& numerator,
             const std::string& denominator) {
    const auto a = times_.find(numerator);
    const auto b = times_.find(denominator);
    if (a == times_.end() || b == times_.end() || b->second <= 0) return;
    std::printf("  %-28s %8.3f\n", label.c_str(), a->second / b->second);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::wstring headers = HeaderBlock();
  const std::wstring page = Page();

  for (const Extraction& e : kExtractions) {
    for (const auto& text : {std::make_pair("headers-2KiB", &headers),
                             std::make_pair("page-64KiB", &page)}) {
      const std::string suffix = std::string(e.name) + "/" + text.first;
      const std::wstring* body = text.second;
      // Both sides must extract the same values for the comparison to mean anything.
      std::vector<std::wstring> ours;
      if (!FindAllCaptures(e.pattern, *body, ours) || ours != WregexCaptures(e.regex, *body)) {
        std::fprintf(stderr, "%s: the matcher and std::wregex disagree\n", suffix.c_str());
        return 1;
      }
      benchmark::RegisterBenchmark(("Matcher/" + suffix).c_str(), [e, body](benchmark::State& s) {
        std::vector<std::wstring> results;
        for (auto _ : s) {
          benchmark::DoNotOptimize(FindAllCaptures(e.pattern, *body, results));
          benchmark::DoNotOptimize(results.data());
        }
      })->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("Wregex/" + suffix).c_str(), [e, body](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(WregexCaptures(e.regex, *body));
      })->Unit(benchmark::kMicrosecond);
    }
  }

  // 1 MiB of characters: 100000 tags in mixed letter case between filler, and the same without.
  std::wstring tagged;
  std::wstring plain;
  const std::wstring filler = L"abcdefghij0123456789abcdefghij0123456789";
  const size_t perTag = (1048576 - 100000 * 6) / 100000;
  for (int i = 0; i < 100000; ++i) {
    tagged += (i % 3 == 0 ? L"<HTML>" : L"<html>");
    tagged.append(filler, 0, perTag);
  }
  tagged.append(1048576 - tagged.size(), L'.');
  for (size_t i = 0; plain.size() < tagged.size(); ++i) plain += filler[i % filler.size()];
  benchmark::RegisterBenchmark("FindAllCaptures/1MiB-100000-tags", [&tagged](benchmark::State& s) {
    std::vector<std::wstring> results;
    for (auto _ : s) benchmark::DoNotOptimize(FindAllCaptures(L"{<html>}", tagged, results));
  })->Unit(benchmark::kMillisecond);
  PatternMatcher matcher;
  if (matcher.Compile(L"{<html>}") != PatternError::None) return 1;
  benchmark::RegisterBenchmark("Match/1MiB-no-tags", [&matcher, &plain](benchmark::State& s) {
    MatchContext context;
    for (auto _ : s) benchmark::DoNotOptimize(matcher.Match(plain.c_str(), &context));
  })->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
