#include "stub_run.h"

#include <unistd.h>

#include "servers.h"

#include <regex>
#include <sstream>

namespace bed {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.push_back(field);
      field.clear();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      field += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

std::string StubPath(const std::string& stub) {
  if (stub.find('/') != std::string::npos) return stub;
  const std::string top = GetBed().winBuild + "/" + stub;
  return FileExists(top) ? top : GetBed().winBuild + "/tests/" + stub;
}

void ParseReport(const std::string& report, StubRun& run) {
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f[0] == "msgbox" && f.size() >= 5) {
      run.boxes.push_back({f[1], f[2], f[3] == "1", f[4] == "1"});
    } else if (f[0] == "dialog" && f.size() >= 12) {
      DialogSeen& d = run.dialog;
      d.shown = true;
      d.text = f[1];
      d.style = static_cast<uint32_t>(std::stoul(f[2]));
      d.exStyle = static_cast<uint32_t>(std::stoul(f[3]));
      d.left = std::stol(f[4]), d.top = std::stol(f[5]), d.right = std::stol(f[6]), d.bottom = std::stol(f[7]);
      d.workLeft = std::stol(f[8]), d.workTop = std::stol(f[9]);
      d.workRight = std::stol(f[10]), d.workBottom = std::stol(f[11]);
    } else if (f[0] == "pos" && f.size() >= 2) {
      run.dialog.positions.push_back(std::stoi(f[1]));
    } else if (f[0] == "dialog-gone") {
      run.dialog.gone = true;
    } else if (f[0] == "closed" && f.size() >= 2) {
      run.dialog.closedAt = std::stoi(f[1]);
    } else if (f[0] == "exit" && f.size() >= 2) {
      run.exitCode = static_cast<uint32_t>(std::stoul(f[1]));
      run.watched = true;
    } else if (f[0] == "error" && f.size() >= 2 && f[1] == "timeout") {
      run.timedOut = true;
    }
  }
}

std::string Port(int port) { return std::to_string(port > 0 ? port : RefusedPort()); }

}  // namespace

StubEndpoints& NextStubEndpoints() {
  static StubEndpoints endpoints;
  return endpoints;
}

std::string CancelPageBase() {
  return "http://localhost:" + Port(NextStubEndpoints().cancelPagePort) + "/installation-cancelled/?v=";
}

std::map<std::string, std::string> StubEndpointEnvironment() {
  const StubEndpoints& endpoints = NextStubEndpoints();
  return {{"ORV_TEST_CONFIG_URL", "https://localhost:" + Port(endpoints.configPort) + "/orv.json"},
          {"ORV_TEST_ANALYTICS_HOST", "localhost:" + Port(endpoints.analyticsPort)},
          {"ORV_TEST_CANCEL_PAGE_BASE", CancelPageBase()}};
}

StubRun RunStub(const StubOptions& options) {
  StubRun run;
  static int counter = 0;
  const std::string reportPath =
      GetBed().out + "/watch-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".txt";
  RemoveFile(reportPath);
  std::vector<std::string> args{"--report", WinPath(reportPath), "--timeout", std::to_string(options.timeoutMs)};
  if (options.closeAtPos >= 0) args.insert(args.end(), {"--close-at-pos", std::to_string(options.closeAtPos)});
  if (options.answerAfterMs > 0) args.insert(args.end(), {"--answer-after", std::to_string(options.answerAfterMs)});
  if (!options.answerWhenFile.empty()) args.insert(args.end(), {"--answer-when", WinPath(options.answerWhenFile)});
  if (options.closeOnShow) args.insert(args.end(), {"--close-on-show", "1"});
  if (options.hiddenStation) args.insert(args.end(), {"--hidden-station", "1"});
  if (!options.screenshot.empty()) {
    args.insert(args.end(), {"--shot", WinPath(options.screenshot), "--shot-at-pos",
                             std::to_string(options.screenshotAtPos < 0 ? 0 : options.screenshotAtPos)});
  }
  args.push_back("--");
  const bool windowsPath = options.stub.size() > 2 && options.stub[1] == ':' && options.stub[2] == '\\';
  args.push_back(windowsPath ? options.stub : WinPath(StubPath(options.stub)));
  args.insert(args.end(), options.args.begin(), options.args.end());
  std::map<std::string, std::string> env = StubEndpointEnvironment();
  for (const auto& [key, value] : options.env) env[key] = value;
  const ProcessResult process = RunWine("orvwatch.exe", args, options.timeoutMs + 30000, env);
  run.output = process.out;
  if (ReadFile(reportPath, run.report)) ParseReport(run.report, run);
  if (!run.watched) run.report += "\n[watcher status " + std::to_string(process.status) + "] " + process.err;
  return run;
}

std::vector<LogLine> ReadLog() {
  std::vector<LogLine> result;
  std::string content;
  if (!ReadFile(LogFile(), content)) return result;
  static const std::regex format(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} (INFO|WARNING|ERROR) (.*)$)");
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch match;
    if (std::regex_match(line, match, format)) {
      result.push_back({match[1], match[2]});
    } else {
      result.push_back({"?", line});
    }
  }
  return result;
}

std::vector<std::string> LogMessages() {
  std::vector<std::string> messages;
  for (const LogLine& line : ReadLog()) messages.push_back(line.message);
  return messages;
}

void ClearLog() { RemoveFile(LogFile()); }

std::string LogDump() {
  std::string content;
  return ReadFile(LogFile(), content) ? content : "(no log file)";
}

}  // namespace bed
