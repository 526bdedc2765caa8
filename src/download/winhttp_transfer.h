#pragma once
// The download's attempts over WinHTTP, straight into the run's own download file.
#include <windows.h>

#include "download/download_course.h"
#include "held_files/file_writer.h"

namespace orv {

// Runs each attempt on the calling thread with asynchronous WinHTTP requests (sessions with the
// same proxy choice as the configuration fetch: WinHTTP's default, then the user's settings after a
// failed send), following redirects itself (at most 10, by JudgeRedirect), answering a proxy's 407
// with the user's logon where JudgeProxyChallenge allows it, and giving the attempt up when it brings
// fewer than timings.trickleBytes in timings.trickleWindowMs or the user closes the dialog. Only the
// calling thread writes the file: a given-up request's bytes are never read.
class WinHttpTransfer final : public DownloadTransfer {
 public:
  // file: the run's download file; userClosed: the event set when the user closes the progress
  // dialog (may be null); timings: the trickle limit and how long a given-up request may take to end.
  WinHttpTransfer(FileWriter& file, HANDLE userClosed, const DownloadTimings& timings);

  // See DownloadTransfer. The file must hold request.point.offset bytes, or is emptied first when
  // that is 0 (FileFailed otherwise).
  AttemptReport Run(const AttemptRequest& request, DownloadReporter& reporter) override;

 private:
  FileWriter& file_;
  HANDLE userClosed_;
  DownloadTimings timings_;
};

// The pauses between attempts, ended early by the user-closed event.
class EventPacer final : public DownloadPacer {
 public:
  // userClosed: the event set when the user closes the progress dialog (may be null: never ends early).
  explicit EventPacer(HANDLE userClosed) : userClosed_(userClosed) {}
  bool Pause(uint32_t ms) override;

 private:
  HANDLE userClosed_;
};

}  // namespace orv
