// One download attempt's watch: what reaches the dialog side, when the download is told to stop,
// and when the watchdog gives up.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "download/download_policy.h"
#include "download/download_watch.h"

namespace {
using namespace orv;

class RecordingSink final : public ProgressSink {
 public:
  explicit RecordingSink(std::vector<std::string>& events) : events_(events) {}
  void LogLine(const std::string& message) override { events_.push_back("log " + message); }
  void SetBarPosition(int32_t percent) override { events_.push_back("bar " + std::to_string(percent)); }
  void EndProgressDialog() override { events_.push_back("end"); }

 private:
  std::vector<std::string>& events_;
};

// One step of an attempt: a status report, an HTTP status or a watchdog look, at a clock reading.
struct Step {
  enum Kind { Status, Http, Watch } kind;
  uint32_t atMs;
  uint32_t value;     // status code, HTTP status, or the silence limit
  uint32_t progress;  // for Status: bytes so far of 100
  bool expected;      // what Report, NoteHttpStatus or GiveUpIfSilent returns
};

std::string Join(const std::vector<std::string>& events) {
  std::ostringstream out;
  for (const std::string& event : events) out << "[" << event << "]";
  return out.str();
}

}  // namespace

TEST(DownloadWatch, ReportsStopsAndGivesUpAsTheAttemptGoes) {
  struct Case {
    const char* name;
    uint32_t startMs;
    std::vector<Step> steps;
    std::vector<std::string> events;
    uint32_t httpStatus;
  };
  const Case cases[] = {
      {"a whole download; the watchdog stops at the end of the data",
       1000,
       {{Step::Http, 1100, 200, 0, true},
        {Step::Status, 1200, 5, 40, true},
        {Step::Watch, 1300, 30000, 0, false},
        {Step::Status, 1400, 6, 100, true},
        {Step::Watch, 900000, 30000, 0, false}},
       {"log 40", "bar 40", "log 100", "bar 100", "log End download", "end"},
       200},
      {"silence just below and at the limit",
       0,
       {{Step::Status, 10, 2, 0, true}, {Step::Watch, 30009, 30000, 0, false}, {Step::Watch, 30010, 30000, 0, true},
        {Step::Status, 30011, 5, 50, false}, {Step::Watch, 30012, 30000, 0, true}},
       {"log Connecting..."},
       0},
      {"the clock wraps between reports",
       0xFFFFFF00u,
       {{Step::Status, 0xFFFFFFF0u, 2, 0, true}, {Step::Watch, 100, 30000, 0, false},
        {Step::Watch, 30000 - 16, 30000, 0, true}},
       {"log Connecting..."},
       0},
      {"an HTTP status restarts the silence clock",
       0,
       {{Step::Http, 20000, 200, 0, true}, {Step::Watch, 49999, 30000, 0, false}},
       {},
       200},
      {"404: the error page reaches nothing, not even its end",
       0,
       {{Step::Status, 5, 2, 0, true}, {Step::Http, 10, 404, 0, false}, {Step::Status, 20, 5, 50, false},
        {Step::Status, 30, 6, 100, false}},
       {"log Connecting..."},
       404},
      {"503 also stops the download", 0, {{Step::Http, 10, 503, 0, false}, {Step::Status, 20, 4, 0, false}}, {}, 503},
      {"a status after the give-up is kept but answered with stop",
       0,
       {{Step::Watch, 40000, 30000, 0, true}, {Step::Http, 40001, 200, 0, false}},
       {},
       200},
  };
  for (const Case& c : cases) {
    std::vector<std::string> events;
    DownloadWatch watch(std::make_unique<RecordingSink>(events), c.startMs);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      bool result = false;
      switch (step.kind) {
        case Step::Status: result = watch.Report(step.progress, 100, step.value, step.atMs); break;
        case Step::Http: result = watch.NoteHttpStatus(step.value, step.atMs); break;
        case Step::Watch: result = watch.GiveUpIfSilent(step.atMs, step.value); break;
      }
      EXPECT_EQ(result, step.expected) << c.name << ", step " << i;
    }
    EXPECT_EQ(Join(events), Join(c.events)) << c.name;
    EXPECT_EQ(watch.httpStatus(), c.httpStatus) << c.name;
  }
}

TEST(DownloadPolicy, VerdictsReasonsAndPauses) {
  struct Case {
    DownloadResult result;
    DownloadVerdict verdict;
    const char* reason;
  };
  const Case cases[] = {
      {{0, 0, false}, DownloadVerdict::Done, "error code 0"},
      {{0, 399, false}, DownloadVerdict::Done, "error code 0"},
      // The status decides whatever the download returned.
      {{0, 400, false}, DownloadVerdict::Fail, "HTTP status 400"},
      {{static_cast<int32_t>(0x800C0005u), 404, false}, DownloadVerdict::Fail, "HTTP status 404"},
      {{static_cast<int32_t>(0x80004004u), 499, false}, DownloadVerdict::Fail, "HTTP status 499"},
      {{0, 500, false}, DownloadVerdict::Retry, "HTTP status 500"},
      {{0, 599, false}, DownloadVerdict::Retry, "HTTP status 599"},
      {{0, 600, false}, DownloadVerdict::Fail, "HTTP status 600"},
      {{static_cast<int32_t>(0x800C000Bu), 200, true}, DownloadVerdict::Retry, "no data for too long"},
      {{static_cast<int32_t>(0x800C000Bu), 404, true}, DownloadVerdict::Fail, "HTTP status 404"},
      {{static_cast<int32_t>(0x800C0004u), 0, false}, DownloadVerdict::Retry, "error code 2148270084"},
      {{static_cast<int32_t>(0x80072EFFu), 0, false}, DownloadVerdict::Retry, "error code 2147954431"},
      {{static_cast<int32_t>(0x800C0002u), 0, false}, DownloadVerdict::Fail, "error code 2148270082"},  // bad URL
      {{static_cast<int32_t>(0x80070005u), 0, false}, DownloadVerdict::Fail, "error code 2147942405"},  // access denied
      {{static_cast<int32_t>(0x80004004u), 0, false}, DownloadVerdict::Fail, "error code 2147500036"},  // aborted
      {{1, 0, false}, DownloadVerdict::Fail, "error code 1"},  // S_FALSE is not S_OK
  };
  for (const Case& c : cases) {
    const std::string shown = std::to_string(static_cast<uint32_t>(c.result.hresult)) + "/" +
                              std::to_string(c.result.httpStatus) + (c.result.stalled ? "/stalled" : "");
    EXPECT_EQ(JudgeDownload(c.result), c.verdict) << shown;
    if (c.verdict != DownloadVerdict::Done) {
      EXPECT_EQ(DownloadFailureReason(c.result), c.reason) << shown;
    }
  }
  const uint32_t pauses[] = {RetryDelayMs(0), RetryDelayMs(1), RetryDelayMs(2), RetryDelayMs(3)};
  EXPECT_EQ(std::vector<uint32_t>(std::begin(pauses), std::end(pauses)), (std::vector<uint32_t>{0, 1000, 3000, 0}));
}
