#pragma once
// The user interface of a silent run: nothing on the screen, everything in the log.
#include <memory>

#include "base/log_sink.h"
#include "main/run_ports.h"

namespace orv {

// Shows nothing: the error box's text goes to the log instead, and the progress scope logs the
// download's stages without a dialog (which the user therefore cannot close).
class SilentUserInterface final : public UserInterface {
 public:
  // log: where the box's text and the download's stages go; must outlive this object.
  explicit SilentUserInterface(LogSink& log) : log_(log) {}
  // Logs "Error box not shown in a silent run: " and text, at Error.
  void ShowErrorBox(const wchar_t* text) override;
  // A scope whose sink logs each stage line at Info and drops the bar's positions and the end.
  std::unique_ptr<ProgressScope> StartProgress() override;

 private:
  LogSink& log_;
};

}  // namespace orv
