#include "main/silent_user_interface.h"

#include <chrono>
#include <thread>

#include "main/log_text.h"

namespace orv {
namespace {

// The download without a dialog: nothing to move, nobody to close it.
class SilentProgress final : public ProgressScope {
 public:
  void SetBarPosition(int32_t) override {}
  void EndProgressDialog() override {}
  bool Pause(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
};

}  // namespace

void SilentUserInterface::ShowErrorBox(const wchar_t* text) {
  log_.Log(LogLevel::Error, "Error box not shown in a silent run: " + LogText(text ? text : L""));
}

std::unique_ptr<ProgressScope> SilentUserInterface::StartProgress() { return std::make_unique<SilentProgress>(); }

}  // namespace orv
