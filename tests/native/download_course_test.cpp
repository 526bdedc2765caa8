// The download's course over attempts and addresses, against a scripted transfer: what each
// attempt asks for, the log lines, the pauses and the outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "download/download_course.h"

#include "contract/run_error.h"

namespace {

using namespace orv;

struct Events {
  std::vector<std::string> items;
  void Add(const std::string& item) { items.push_back(item); }
};

class RecordingLog final : public LogSink {
 public:
  explicit RecordingLog(Events& events) : events_(events) {}
  void Log(LogLevel level, const std::string& message) override {
    const char* tag = level == LogLevel::Info ? "I " : level == LogLevel::Warning ? "W " : "E ";
    events_.Add(tag + message);
  }

 private:
  Events& events_;
};

class RecordingProgress final : public DownloadProgress {
 public:
  explicit RecordingProgress(Events& events) : events_(events) {}
  void SetBarPosition(int32_t percent) override { events_.Add("bar " + std::to_string(percent)); }
  void EndProgressDialog() override { events_.Add("end"); }

 private:
  Events& events_;
};

// One scripted attempt: the bytes it leaves and how it ends; `restart` makes it report a restart
// from 0 first, `data` makes it show these byte counts.
struct Attempt {
  AttemptEnd end;
  uint64_t fileBytes;
  std::optional<uint64_t> total;
  std::string reason;
  std::string validator;
  std::string restart;
  std::vector<uint64_t> data;
};

class ScriptedTransfer final : public DownloadTransfer {
 public:
  ScriptedTransfer(Events& events, std::vector<Attempt> script) : events_(events), script_(std::move(script)) {}
  AttemptReport Run(const AttemptRequest& request, DownloadReporter& reporter) override {
    std::string asked = "ask " + std::string(request.address.begin(), request.address.end()) + " @" +
                        std::to_string(request.point.offset);
    if (!request.point.validator.empty()) asked += " if " + request.point.validator;
    if (request.size.exact) asked += " size " + std::to_string(request.size.limit);
    events_.Add(asked);
    if (next_ >= script_.size()) {
      ADD_FAILURE() << "more attempts than scripted";
      return AttemptReport{AttemptEnd::Refused, 0, std::nullopt, "", Status::Failure(0, "unscripted")};
    }
    const Attempt& attempt = script_[next_++];
    if (!attempt.restart.empty()) reporter.Restarted(attempt.restart);
    for (const uint64_t written : attempt.data) reporter.Bytes(written, attempt.total);
    if (attempt.end == AttemptEnd::Complete) reporter.Complete(attempt.fileBytes, attempt.total);
    AttemptReport report;
    report.end = attempt.end;
    report.fileBytes = attempt.fileBytes;
    report.total = attempt.total;
    report.validator = attempt.validator;
    if (!attempt.reason.empty()) report.failure = Status::Failure(7, attempt.reason);
    return report;
  }
  size_t used() const { return next_; }

 private:
  Events& events_;
  std::vector<Attempt> script_;
  size_t next_ = 0;
};

class RecordingPacer final : public DownloadPacer {
 public:
  RecordingPacer(Events& events, int closeAtPause) : events_(events), closeAtPause_(closeAtPause) {}
  bool Pause(uint32_t ms) override {
    events_.Add("pause " + std::to_string(ms));
    return ++pauses_ != closeAtPause_;
  }

 private:
  Events& events_;
  int closeAtPause_;
  int pauses_ = 0;
};

std::string Join(const std::vector<std::string>& items) {
  std::ostringstream out;
  for (const std::string& item : items) out << "\n  " << item;
  return out.str();
}

constexpr uint64_t kMiB = 1024 * 1024;
const std::string k24 = std::to_string(24 * kMiB);

}  // namespace

TEST(DownloadCourse, AttemptsAddressesLinesAndPauses) {
  struct Case {
    const char* name;
    std::vector<std::wstring> addresses;
    std::optional<uint64_t> size;
    std::vector<Attempt> script;
    int closeAtPause;  // the pacer reports the close at this pause (0: never)
    DownloadEnd end;
    std::vector<std::string> events;
  };
  const AttemptEnd kInt = AttemptEnd::Interrupted;
  const Case cases[] = {
      {"a connection reset every 6 MiB: each attempt resumes where the last broke off",
       {L"a"},
       std::nullopt,
       {{kInt, 6 * kMiB, 24 * kMiB, "error code 12030", "\"v1\"", "", {}},
        {kInt, 12 * kMiB, 24 * kMiB, "error code 12030", "\"v1\"", "", {}},
        {kInt, 18 * kMiB, 24 * kMiB, "error code 12030", "\"v1\"", "", {}},
        {AttemptEnd::Complete, 24 * kMiB, 24 * kMiB, "", "\"v1\"", "", {}}},
       0,
       DownloadEnd::Done,
       {"ask a @0", "W Download attempt 1 of 20 broke off at 6291456 of " + k24 + " bytes (error code 12030). Trying again in 1 s",
        "pause 1000", "I Resuming download at 6291456 of " + k24 + " bytes", "ask a @6291456 if \"v1\"",
        "W Download attempt 2 of 20 broke off at 12582912 of " + k24 + " bytes (error code 12030). Trying again in 3 s",
        "pause 3000", "I Resuming download at 12582912 of " + k24 + " bytes", "ask a @12582912 if \"v1\"",
        "W Download attempt 3 of 20 broke off at 18874368 of " + k24 + " bytes (error code 12030). Trying again in 10 s",
        "pause 10000", "I Resuming download at 18874368 of " + k24 + " bytes", "ask a @18874368 if \"v1\"", "I 100",
        "bar 100", "I End download", "end"}},
      {"three attempts without bytes end the only address with today's lines",
       {L"a"},
       std::nullopt,
       {{kInt, 0, std::nullopt, "HTTP status 503", "", "", {}},
        {kInt, 0, std::nullopt, "HTTP status 503", "", "", {}},
        {kInt, 0, std::nullopt, "HTTP status 503", "", "", {}}},
       0,
       DownloadEnd::Failed,
       {"ask a @0", "W Download attempt 1 of 3 failed (HTTP status 503). Trying again in 1 s", "pause 1000", "ask a @0",
        "W Download attempt 2 of 3 failed (HTTP status 503). Trying again in 3 s", "pause 3000", "ask a @0",
        "E Download attempt 3 of 3 failed (HTTP status 503)"}},
      {"after bytes came, a row without new bytes is counted apart from the attempts in all",
       {L"a"},
       std::nullopt,
       {{kInt, 100, 1000, "error code 12030", "", "", {}},
        {kInt, 100, 1000, "no data for too long", "", "", {}},
        {kInt, 100, 1000, "no data for too long", "", "", {}},
        {kInt, 100, 1000, "no data for too long", "", "", {}}},
       0,
       DownloadEnd::Failed,
       {"ask a @0", "W Download attempt 1 of 20 broke off at 100 of 1000 bytes (error code 12030). Trying again in 1 s",
        "pause 1000", "I Resuming download at 100 of 1000 bytes", "ask a @100",
        "W Download attempt 2 of 20 failed (no data for too long), 1 of 3 in a row without new bytes. Trying again in 3 s",
        "pause 3000", "I Resuming download at 100 of 1000 bytes", "ask a @100",
        "W Download attempt 3 of 20 failed (no data for too long), 2 of 3 in a row without new bytes. Trying again in 10 s",
        "pause 10000", "I Resuming download at 100 of 1000 bytes", "ask a @100",
        "E Download attempt 4 of 20 failed (no data for too long), 3 of 3 in a row without new bytes"}},
      {"a 4xx ends the address at once; the mirror starts afresh with the bytes kept",
       {L"a", L"m"},
       std::nullopt,
       {{kInt, 500, 1000, "error code 12030", "\"v1\"", "", {}},
        {AttemptEnd::Refused, 500, 1000, "HTTP status 404", "\"v1\"", "", {}},
        {AttemptEnd::Complete, 1000, 1000, "", "", "", {}}},
       0,
       DownloadEnd::Done,
       {"ask a @0", "W Download attempt 1 of 20 broke off at 500 of 1000 bytes (error code 12030). Trying again in 1 s",
        "pause 1000", "I Resuming download at 500 of 1000 bytes", "ask a @500 if \"v1\"",
        "E Download attempt 2 of 20 failed (HTTP status 404), 1 of 3 in a row without new bytes", "I Trying mirror m",
        "I Resuming download at 500 of 1000 bytes", "ask m @500", "I 100", "bar 100", "I End download", "end"}},
      {"a restart from 0 that brings no more than was there is no gain; the bar starts again",
       {L"a"},
       std::nullopt,
       {{kInt, 400, 1000, "error code 12030", "", "", {400}},
        {AttemptEnd::Complete, 1000, 1000, "", "", "the server sent the whole file again (HTTP status 200)", {200, 1000}}},
       0,
       DownloadEnd::Done,
       {"ask a @0", "I 40", "bar 40",
        "W Download attempt 1 of 20 broke off at 400 of 1000 bytes (error code 12030). Trying again in 1 s",
        "pause 1000", "I Resuming download at 400 of 1000 bytes", "ask a @400",
        "W Restarting the download from byte 0: the server sent the whole file again (HTTP status 200)", "bar 0",
        "I 20", "bar 20", "I 100", "bar 100", "I End download", "end"}},
      {"bytes of a file of unknown size are not resumed: a logged restart",
       {L"a"},
       std::nullopt,
       {{kInt, 300, std::nullopt, "error code 12030", "", "", {}},
        {AttemptEnd::Complete, 900, std::nullopt, "", "", "", {}}},
       0,
       DownloadEnd::Done,
       {"ask a @0", "W Download attempt 1 of 20 broke off at 300 bytes (error code 12030). Trying again in 1 s",
        "pause 1000", "W Restarting the download from byte 0: the size of the file is not known", "bar 0", "ask a @0",
        "I End download", "end"}},
      {"the document's size goes with every request",
       {L"a"},
       512,
       {{AttemptEnd::Complete, 512, 512, "", "", "", {}}},
       0,
       DownloadEnd::Done,
       {"ask a @0 size 512", "I 100", "bar 100", "I End download", "end"}},
      {"a file that cannot be written ends the download, mirrors or not",
       {L"a", L"m"},
       std::nullopt,
       {{AttemptEnd::FileFailed, 0, std::nullopt, "the file cannot be written", "", "", {}}},
       0,
       DownloadEnd::Failed,
       {"ask a @0", "E Download stopped (the file cannot be written)"}},
      {"closed during a pause: no further attempt",
       {L"a"},
       std::nullopt,
       {{kInt, 0, std::nullopt, "HTTP status 503", "", "", {}}},
       1,
       DownloadEnd::Closed,
       {"ask a @0", "W Download attempt 1 of 3 failed (HTTP status 503). Trying again in 1 s", "pause 1000"}},
      {"closed during an attempt: no line, no mirror",
       {L"a", L"m"},
       std::nullopt,
       {{AttemptEnd::Closed, 10, 100, "", "", "", {}}},
       0,
       DownloadEnd::Closed,
       {"ask a @0"}},
      {"no address", {}, std::nullopt, {}, 0, DownloadEnd::Failed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Events events;
    RecordingLog log(events);
    RecordingProgress progress(events);
    ScriptedTransfer transfer(events, c.script);
    RecordingPacer pacer(events, c.closeAtPause);
    DownloadPlan plan;
    plan.addresses = c.addresses;
    plan.configuredSize = c.size;
    const DownloadOutcome outcome = DownloadInstaller(transfer, pacer, log, progress, plan, DownloadTimings{});
    EXPECT_EQ(outcome.end, c.end);
    EXPECT_EQ(events.items, c.events) << Join(events.items);
    EXPECT_EQ(transfer.used(), c.script.size());
    if (c.end == DownloadEnd::Failed) {
      EXPECT_EQ(outcome.failure.error(), RunError::Download);
      EXPECT_FALSE(outcome.failure.detail().empty());
    }
    if (c.end == DownloadEnd::Done) {
      EXPECT_EQ(outcome.size, c.script.back().fileBytes);
    }
  }
}

TEST(DownloadCourse, TwentyAttemptsThatEachBringBytesEndTheAddress) {
  Events events;
  RecordingLog log(events);
  RecordingProgress progress(events);
  std::vector<Attempt> script;
  for (uint64_t i = 1; i <= 20; ++i) script.push_back({AttemptEnd::Interrupted, i * 10, 1000, "error code 12030", "", "", {}});
  script.push_back({AttemptEnd::Refused, 200, 1000, "HTTP status 403", "", "", {}});
  ScriptedTransfer transfer(events, script);
  RecordingPacer pacer(events, 0);
  DownloadPlan plan;
  plan.addresses = {L"a", L"m"};
  DownloadTimings timings;
  timings.laterPauseMs = 250;
  const DownloadOutcome outcome = DownloadInstaller(transfer, pacer, log, progress, plan, timings);
  // 20 at the first address, then the mirror goes on from the bytes there.
  EXPECT_EQ(transfer.used(), 21u);
  EXPECT_EQ(outcome.end, DownloadEnd::Failed);
  const std::vector<std::string>& items = events.items;
  EXPECT_NE(std::find(items.begin(), items.end(),
                      "W Download attempt 19 of 20 broke off at 190 of 1000 bytes (error code 12030). Trying again in 0.25 s"),
            items.end())
      << Join(items);
  EXPECT_NE(std::find(items.begin(), items.end(), "E Download attempt 20 of 20 broke off at 200 of 1000 bytes (error code 12030)"),
            items.end())
      << Join(items);
  EXPECT_NE(std::find(items.begin(), items.end(), "ask m @200"), items.end()) << Join(items);
}
