#pragma once
// The one way the stub reports a failure: what it amounts to for the run (RunError), the
// platform's error code taken right where the failing call returned, and a text for the log.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace orv {

// The run's fatal errors; the value is the process exit code. None: not (yet) a run error.
enum class RunError : uint32_t {
  None = 0,
  ConfigFetch = 1,
  ConfigParse = 3,
  Download = 4,
  ChecksumOpen = 5,
  ChecksumMismatch = 6,
  Launch = 7,
};

// Title of every error box.
inline constexpr const wchar_t kErrorBoxTitle[] = L"We apologize!";

// L"" for RunError::None; otherwise the error box text, e.g. "Cannot obtain configuration. Error code 1".
const wchar_t* ErrorBoxText(RunError error);

// The log line of a configuration fetch that failed.
inline constexpr char kConfigFetchFailedLine[] = "Can't download config file";

// The log line of a configuration document the run cannot use: "Error parsing file. Error: " + reason.
std::string ConfigParseLine(const std::string& reason);

// Success, or a failure with its run error (None where the caller has not decided it yet), the
// platform's error code (a Win32 error or an HRESULT; 0 when no platform call failed) and detail.
class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  // A failure of a platform call: code as the platform gave it, detail for the log.
  [[nodiscard]] static Status Failure(uint32_t code, std::string detail) {
    return Status(RunError::None, code, std::move(detail));
  }
  // A failure the run reports as error (with a platform code when one call failed).
  [[nodiscard]] static Status Error(RunError error, std::string detail, uint32_t code = 0) {
    return Status(error, code, std::move(detail));
  }

  bool ok() const { return !failed_; }
  RunError error() const { return error_; }
  uint32_t code() const { return code_; }
  const std::string& detail() const { return detail_; }

  // A success stays a success; a failure becomes the run error error, its code and detail kept.
  [[nodiscard]] Status As(RunError error) const {
    Status copy = *this;
    if (failed_) copy.error_ = error;
    return copy;
  }
  // "" for a success; otherwise the detail, then ". Error code " and the code in unsigned decimal
  // when a platform call failed (code not 0), as the log lines write it.
  std::string LogText() const;

 private:
  Status(RunError error, uint32_t code, std::string detail)
      : failed_(true), error_(error), code_(code), detail_(std::move(detail)) {}
  bool failed_ = false;
  RunError error_ = RunError::None;
  uint32_t code_ = 0;
  std::string detail_;
};

// A value, or the Status that tells why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  // A value.
  Result(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  // A failure; status must not be a success.
  Result(Status status) : status_(std::move(status)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return value_.has_value(); }
  // The value; only when ok().
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  // Success when ok(); otherwise why not.
  const Status& status() const { return status_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace orv
