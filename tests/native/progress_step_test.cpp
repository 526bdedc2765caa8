#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "download/progress_step.h"

namespace {
using namespace orv;

// Records what the dialog side would be asked to do, one entry per call.
class RecordingSink final : public LogSink, public DownloadProgress {
 public:
  void Log(LogLevel level, const std::string& message) override {
    events.push_back((level == LogLevel::Info ? "log " : "log at another level ") + message);
  }
  void SetBarPosition(int32_t percent) override { events.push_back("bar " + std::to_string(percent)); }
  void EndProgressDialog() override { events.push_back("end"); }
  std::vector<std::string> events;
};

struct Report {
  uint32_t status;
  uint32_t progress;
  uint32_t maximum;
};

struct Sequence {
  const char* name;
  int32_t startPercent;
  std::vector<Report> reports;
  std::vector<std::string> expected;
  int32_t finalPercent;
};

std::string Join(const std::vector<std::string>& events) {
  std::ostringstream out;
  for (const std::string& event : events) out << "[" << event << "]";
  return out.str();
}

}  // namespace

TEST(DownloadStatus, SequencesGiveTheseLinesBarMovesAndEnd) {
  const Sequence sequences[] = {
      {"rising data then end",
       0,
       {{5, 250, 1000}, {5, 250, 1000}, {5, 999, 1000}, {6, 1000, 1000}},
       {"log 25", "bar 25", "log 99", "bar 99", "log 100", "bar 100", "log End download", "end"},
       100},
      {"zero maximum", 0, {{5, 10, 0}}, {}, 0},
      {"counts above 2^31 are unsigned", 0, {{5, 4000000000u, 4294967295u}}, {"log 93", "bar 93"}, 93},
      {"truncated, not rounded", 0, {{5, 2, 3}}, {"log 66", "bar 66"}, 66},
      {"redirecting", 0, {{3, 10, 100}}, {"log Status code : 3"}, 0},
      {"begin download never moves the bar", 0, {{4, 500, 1000}}, {"log Begin download"}, 0},
      {"end at 100 already shown", 100, {{6, 1000, 1000}}, {"log End download", "end"}, 100},
      {"end with zero maximum", 0, {{6, 0, 0}}, {"log End download", "end"}, 0},
      {"never backwards", 50, {{5, 40, 100}, {5, 50, 100}}, {}, 50},
      {"above 100 passed on", 0, {{5, 1500, 1000}}, {"log 150", "bar 150"}, 150},
      {"quotient overflows", 0, {{5, 4294967295u, 1}, {6, 21474837, 1}}, {"log End download", "end"}, 0},
      {"largest quotient that fits", 0, {{5, 21474836, 1}}, {"log 2147483600", "bar 2147483600"}, 2147483600},
      {"stage texts",
       0,
       {{1, 0, 0}, {2, 0, 0}, {11, 0, 0}, {13, 0, 0}},
       {"log Finding resource...", "log Connecting...", "log Sending request...", "log Mime type available"},
       0},
      {"other statuses by number (14 named a cache file: the download keeps none)",
       0,
       {{0, 1, 2}, {7, 1, 2}, {10, 1, 2}, {12, 1, 2}, {14, 1, 2}, {15, 1, 2}, {4294967295u, 1, 2}},
       {"log Status code : 0", "log Status code : 7", "log Status code : 10", "log Status code : 12",
        "log Status code : 14", "log Status code : 15", "log Status code : 4294967295"},
       0},
  };
  for (const Sequence& sequence : sequences) {
    RecordingSink sink;
    int32_t lastPercent = sequence.startPercent;
    for (const Report& report : sequence.reports) {
      HandleDownloadStatus(report.progress, report.maximum, report.status, lastPercent, sink, sink);
    }
    EXPECT_EQ(Join(sink.events), Join(sequence.expected)) << sequence.name;
    EXPECT_EQ(lastPercent, sequence.finalPercent) << sequence.name;
  }
}

TEST(DownloadStatus, PercentAtTheEdgesOfTheSignedRange) {
  struct Case {
    uint32_t progress;
    uint32_t maximum;
    std::optional<int32_t> expected;
  };
  const Case cases[] = {
      {0, 0, std::nullopt},
      {0, 1, 0},
      {4294967295u, 4294967295u, 100},
      {2147483647u, 100, 2147483647},    // exactly the largest signed value
      {2147483648u, 100, std::nullopt},  // exactly 2^31
      {4294967295u, 200, 2147483647},    // 2147483647.5 truncates into range
      {4294967295u, 199, std::nullopt},
      {1, 4294967295u, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressPercent(c.progress, c.maximum), c.expected) << c.progress << " of " << c.maximum;
  }
}
