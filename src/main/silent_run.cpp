#include "main/silent_run.h"

#include "main/log_text.h"

namespace orv {

SilentDecision DecideSilent(bool silentSwitch, const Result<WindowStation>& station) {
  SilentDecision decision;
  decision.bySwitch = silentSwitch;
  if (station.ok()) {
    decision.windowStation = station->name;
    decision.byWindowStation = (station->flags & kWindowStationVisible) == 0;
  } else {
    decision.stationReading = station.status();
  }
  return decision;
}

std::vector<LogEntry> SilentDecisionLines(const SilentDecision& decision) {
  std::vector<LogEntry> lines;
  if (decision.silent()) {
    std::string why;
    if (decision.bySwitch) why = "-silent on the command line";
    if (decision.byWindowStation) {
      if (!why.empty()) why += ", and ";
      why += "the window station " + QuotedPath(decision.windowStation) +
             " is not visible to a user (a service or the system account)";
    }
    lines.push_back({LogLevel::Info, "Silent run: " + why + ". No progress dialog and no error box"});
  }
  if (!decision.stationReading.ok()) {
    lines.push_back({LogLevel::Warning, "Unable to read the window station; taken as visible. " +
                                            decision.stationReading.LogText()});
  }
  return lines;
}

}  // namespace orv
