#pragma once
#include <string>

namespace orv {

// The log levels the run writes at.
enum class LogLevel { Info, Warning, Error };

// Where the run's log lines go.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Writes one line at level whose message is exactly `message` (UTF-8).
  virtual void Log(LogLevel level, const std::string& message) = 0;
};

}  // namespace orv
