#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "wine.h"

namespace bed {

// How to run a stub under the window watcher (tests/winhelpers/orvwatch.cpp).
struct StubOptions {
  std::string stub = "orvsetup.exe";  // a program of the cross build (top folder or tests/), a Unix path,
                                      // or a Windows path ("C:\\...") used as it is
  std::vector<std::string> args;      // the stub's own arguments
  int closeAtPos = -1;                // send WM_CLOSE to the progress dialog once its bar reaches this
  bool closeOnShow = false;           // send WM_CLOSE as soon as the dialog shows
  std::string screenshot;             // Unix path of a .bmp to take of the dialog ...
  int screenshotAtPos = -1;           // ... once its bar reaches this position
  int answerAfterMs = 0;              // message boxes stay up this long before OK is pressed
  std::string answerWhenFile;         // ... and, when set, until this Unix path exists
  int timeoutMs = 90000;              // the watcher kills the stub after this
  bool hiddenStation = false;         // run it on a window station no user sees (as a service's);
                                      // its windows are then neither seen nor answered
  std::map<std::string, std::string> env;  // extra environment of the watcher, the stub and the installer
};

struct MessageBoxSeen {
  std::string title;
  std::string text;
  bool icon = false;           // the box showed an icon
  bool dialogVisible = false;  // the progress dialog was on screen at the time
};

struct DialogSeen {
  bool shown = false;
  std::string text;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  long left = 0, top = 0, right = 0, bottom = 0;              // window rectangle
  long workLeft = 0, workTop = 0, workRight = 0, workBottom = 0;  // work area of the screen
  std::vector<int> positions;  // every bar position seen, in order
  bool gone = false;           // the dialog disappeared while the stub ran
  int closedAt = -1;           // bar position when WM_CLOSE was sent, or -1
};

struct StubRun {
  bool watched = false;  // the watcher ran and wrote its report
  uint32_t exitCode = 0;
  bool timedOut = false;
  std::vector<MessageBoxSeen> boxes;
  DialogSeen dialog;
  std::string report;  // the raw report, for failure messages
  std::string output;  // what the stub wrote to standard output
};

// Where the next RunStub sends the test build of the stub (through its environment; the ports
// are the test's servers'). A port of 0 stands for RefusedPort(): nothing answers there.
struct StubEndpoints {
  int configPort = 0;     // https://localhost:<port>/orv.json
  int analyticsPort = 0;  // the failure hit's host localhost:<port>
  int cancelPagePort = 0;  // http://localhost:<port>/installation-cancelled/?v=
};
StubEndpoints& NextStubEndpoints();
// The cancellation page's base address that the next run is given, ending in "?v=".
std::string CancelPageBase();
// The environment that hands NextStubEndpoints() to a test build of the stub.
std::map<std::string, std::string> StubEndpointEnvironment();

// Runs the stub under the watcher and waits for it; message boxes are answered with OK.
StubRun RunStub(const StubOptions& options = {});

// One parsed log line "yyyy-mm-dd hh:mm:ss,mmm LEVEL message".
struct LogLine {
  std::string level;
  std::string message;
};

// The lines of the stub's log file; lines that do not have the format are returned with level
// "?" and the whole line as message.
std::vector<LogLine> ReadLog();
// Only the messages, in order.
std::vector<std::string> LogMessages();
// Removes the log file (before a run that should start a fresh one).
void ClearLog();
// The log as one text, for failure messages.
std::string LogDump();

}  // namespace bed
