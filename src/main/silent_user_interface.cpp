#include "main/silent_user_interface.h"

#include <chrono>
#include <thread>

#include "main/log_text.h"

namespace orv {
namespace {

// The download's statuses without a dialog: only the log lines remain.
class LogOnlySink final : public ProgressSink {
 public:
  explicit LogOnlySink(LogSink& log) : log_(log) {}
  void LogLine(const std::string& message) override { log_.Log(LogLevel::Info, message); }
  void SetBarPosition(int32_t) override {}
  void EndProgressDialog() override {}

 private:
  LogSink& log_;
};

class SilentProgress final : public ProgressScope {
 public:
  explicit SilentProgress(LogSink& log) : sink_(log) {}
  ProgressSink& sink() override { return sink_; }
  void Restart() override {}
  bool Pace(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
  bool closedByUser() const override { return false; }

 private:
  LogOnlySink sink_;
};

}  // namespace

void SilentUserInterface::ShowErrorBox(const wchar_t* text) {
  log_.Log(LogLevel::Error, "Error box not shown in a silent run: " + LogText(text ? text : L""));
}

std::unique_ptr<ProgressScope> SilentUserInterface::StartProgress() { return std::make_unique<SilentProgress>(log_); }

}  // namespace orv
