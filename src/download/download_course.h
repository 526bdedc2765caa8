#pragma once
// The installer's download as a course over attempts and addresses: each attempt asks for what
// the file still lacks, the attempts at one address are budgeted, and a failing address hands over
// to the next. The attempts themselves and the pauses are ports, so the course is a pure function.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "download/attempt_budget.h"
#include "download/download_reporter.h"
#include "download/range_resume.h"

namespace orv {

// What the run asks to download.
struct DownloadPlan {
  std::vector<std::wstring> addresses;   // in order: the wrapper (with its cache-busting value), then the mirrors
  bool plainHttpAllowed = false;         // the document has "sha256": http addresses and redirects to http are allowed
  std::optional<uint64_t> configuredSize;  // the document's "size": the file must have exactly this many bytes
};

// One attempt as the course asks for it.
struct AttemptRequest {
  std::wstring address;       // where the attempt starts (redirects are followed from there)
  ResumePoint point;          // the file is first cut to point.offset bytes; the rest is asked for
  SizeRule size;              // how large the file may be
  bool plainHttpAllowed = false;
};

// How an attempt ended.
enum class AttemptEnd {
  Complete,     // the whole file is in place (and the reporter has shown its end)
  Interrupted,  // broke off (network error, too slow, server error): another attempt may go on
  StartOver,    // the answer could not continue the file: the file is empty again
  Refused,      // this address will not give the file (4xx, refused redirect, proxy, size)
  FileFailed,   // the file could not be written: no attempt can succeed
  Closed,       // the user closed the progress dialog
};

struct AttemptReport {
  AttemptEnd end = AttemptEnd::Interrupted;
  uint64_t fileBytes = 0;               // bytes in the file now, from byte 0
  std::optional<uint64_t> total;        // the whole file's size as the last usable answer gave it
  std::string validator;                // If-Range value for this address's next attempt ("" none)
  Status failure;                       // unless Complete or Closed: the reason for the log as
                                        // detail ("HTTP status 503", "error code 12030", ...) and
                                        // the platform's code
};

// Runs one attempt at a time. The attempt has ended when Run returns: nothing it began writes the
// file afterwards.
class DownloadTransfer {
 public:
  virtual ~DownloadTransfer() = default;
  // Runs request to its end, showing its stages, bytes and any restart through reporter.
  [[nodiscard]] virtual AttemptReport Run(const AttemptRequest& request, DownloadReporter& reporter) = 0;
};

// The pauses between attempts.
class DownloadPacer {
 public:
  virtual ~DownloadPacer() = default;
  // False, at once, when the user closes the progress dialog before ms have passed; otherwise true
  // after ms milliseconds.
  [[nodiscard]] virtual bool Pause(uint32_t ms) = 0;
};

enum class DownloadEnd { Done, Failed, Closed };

struct DownloadOutcome {
  DownloadEnd end = DownloadEnd::Failed;
  Status failure;     // Failed: RunError::Download with the last attempt's reason and code
  uint64_t size = 0;  // Done: the file's size
};

// Downloads plan into the file transfer writes: the addresses in order, each until it gives the
// file, refuses it or has spent its budget (timings), with the pauses between attempts through
// pacer. Every attempt's failure is logged (a Warning when another attempt follows at the same
// address, an Error otherwise), "Trying mirror <address>" before each next address; bytes in the
// file carry over to the next address when it names the same whole size. Closed as soon as an
// attempt or a pause reports the user's close; Failed with an empty address list.
[[nodiscard]] DownloadOutcome DownloadInstaller(DownloadTransfer& transfer, DownloadPacer& pacer, LogSink& log,
                                                DownloadProgress& progress, const DownloadPlan& plan,
                                                const DownloadTimings& timings);

}  // namespace orv
