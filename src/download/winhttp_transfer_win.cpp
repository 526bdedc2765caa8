#include "download/winhttp_transfer.h"

#include <winhttp.h>

#include <memory>
#include <optional>
#include <string>

#include "base/last_error.h"
#include "download/piece_writer.h"
#include "download/read_pace.h"
#include "download/trickle_watch.h"
#include "http/async_request.h"
#include "http/proxy_auth.h"
#include "http/redirect_rule.h"
#include "http/user_proxy.h"
#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"
#include "http/winhttp_query.h"
#include "text/log_escape.h"
#include "text/utf8.h"

static_assert(WINHTTP_AUTH_SCHEME_BASIC == orv::kAuthBasic && WINHTTP_AUTH_SCHEME_NTLM == orv::kAuthNtlm &&
                  WINHTTP_AUTH_SCHEME_PASSPORT == orv::kAuthPassport &&
                  WINHTTP_AUTH_SCHEME_DIGEST == orv::kAuthDigest &&
                  WINHTTP_AUTH_SCHEME_NEGOTIATE == orv::kAuthNegotiate,
              "the proxy decision numbers the schemes as WinHTTP does");

namespace orv {
namespace {

using Step = AsyncRequest::Step;

uint64_t Now() { return GetTickCount64(); }

// A body's first read: small, so that a slow link's first bytes are not held back.
constexpr uint32_t kFirstReadBytes = 1024;
// What the file is written in.
constexpr size_t kPieceBytes = 1024 * 1024;

std::string Narrow(const std::optional<std::wstring>& text) { return text ? ToUtf8(*text) : std::string(); }

std::string ForLog(const std::wstring& text) { return EscapeLogValue(ToUtf8(text)); }

Status NetworkFailure(DWORD code) { return Status::Failure(code, "error code " + std::to_string(code)); }

Status HttpFailure(uint32_t status) { return Status::Failure(0, "HTTP status " + std::to_string(status)); }

// Empties the file unless it is empty already.
Status Empty(FileWriter& file) { return file.size() == 0 ? Status() : file.Truncate(); }

// An asynchronous session with the stub's user agent, through proxy when given (else WinHTTP's
// default proxy setting), whose own time-outs only back up the attempt's trickle limit.
Result<WinHttpHandle> OpenSession(const std::optional<ProxyServer>& proxy, const DownloadTimings& timings) {
  WinHttpHandle session(
      proxy ? WinHttp().Open(L"OrvandelSetup", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy->proxy.c_str(),
                             proxy->bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy->bypass.c_str(), WINHTTP_FLAG_ASYNC)
            : WinHttp().Open(L"OrvandelSetup", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
  if (!session) return LastErrorStatus("WinHttpOpen failed");
  const int backup = static_cast<int>(timings.trickleWindowMs) + static_cast<int>(timings.endBoundMs / 2);
  WinHttp().SetTimeouts(session.get(), backup, backup, backup, backup);
  return session;
}

// One attempt: its requests (redirects, proxy answers), then the body into the file.
class Attempt {
 public:
  Attempt(FileWriter& file, HANDLE userClosed, const DownloadTimings& timings, const AttemptRequest& request,
          DownloadReporter& reporter)
      : file_(file),
        userClosed_(userClosed),
        timings_(timings),
        request_(request),
        reporter_(reporter),
        watch_(Now(), timings.trickleWindowMs, timings.trickleBytes) {
    report_.fileBytes = request.point.offset;
    report_.total = request.point.total;
    report_.validator = request.point.validator;
  }

  AttemptReport Run() {
    if (!WinHttp().loaded) return Stop(AttemptEnd::Interrupted, Status::Failure(ERROR_MOD_NOT_FOUND, "WinHTTP is not available"));
    // The file holds what the course says: the bytes to resume after, or none to be kept.
    if (request_.point.offset == 0) {
      const Status emptied = Empty(file_);
      if (!emptied.ok()) return Stop(AttemptEnd::FileFailed, emptied);
    } else if (file_.size() != request_.point.offset) {
      return Stop(AttemptEnd::FileFailed,
                  Status::Failure(ERROR_INVALID_DATA, "the download file holds " + std::to_string(file_.size()) +
                                                          " bytes, not the " + std::to_string(request_.point.offset) +
                                                          " to resume after"));
    }
    if (std::optional<AttemptReport> ended = Exchange()) return *ended;
    return Body();
  }

 private:
  AttemptReport Stop(AttemptEnd end, Status failure = Status()) {
    report_.end = end;
    report_.failure = std::move(failure);
    if (request_ptr_) {
      const Status ended = request_ptr_->End(timings_.endBoundMs);
      if (!ended.ok()) reporter_.Line(LogLevel::Warning, "The given-up request has not ended: " + ended.detail());
      request_ptr_.reset();
    }
    return report_;
  }

  struct Ending {
    AttemptEnd end;
    Status failure;
  };

  // How the attempt ends after a step that did not complete.
  Ending StepEnd(Step step) const {
    switch (step) {
      case Step::Closed: return {AttemptEnd::Closed, Status()};
      case Step::TimedOut: {
        const std::string reason = watch_.Silent() ? "no data for too long"
                                                   : "less than " + std::to_string(timings_.trickleBytes) + " bytes in " +
                                                         std::to_string(timings_.trickleWindowMs / 1000) + " s";
        return {AttemptEnd::Interrupted, Status::Failure(ERROR_WINHTTP_TIMEOUT, reason)};
      }
      default: return {AttemptEnd::Interrupted, NetworkFailure(request_ptr_->error())};
    }
  }

  // Ends the attempt after a step that did not complete.
  AttemptReport StepFailed(Step step) {
    Ending ending = StepEnd(step);
    return Stop(ending.end, std::move(ending.failure));
  }

  // Ends the attempt in the middle of the body: what the pieces hold goes to the file first, so
  // that the next attempt resumes after every byte that came.
  AttemptReport Finish(PieceWriter& pieces, Ending ending) {
    const Status flushed = pieces.Flush();
    report_.fileBytes = file_.size();
    if (!flushed.ok() && ending.end != AttemptEnd::FileFailed) return Stop(AttemptEnd::FileFailed, flushed);
    return Stop(ending.end, std::move(ending.failure));
  }

  // Opens a request for url_ on a session of the current proxy choice.
  std::optional<AttemptReport> Open() {
    if (request_ptr_) {
      const Status ended = request_ptr_->End(timings_.endBoundMs);
      if (!ended.ok()) reporter_.Line(LogLevel::Warning, "The earlier request has not ended: " + ended.detail());
      request_ptr_.reset();
    }
    if (!session_) {
      Result<WinHttpHandle> session = OpenSession(proxy_, timings_);
      if (!session.ok()) return Stop(AttemptEnd::Interrupted, session.status());
      session_ = std::move(session.value());
    }
    Result<std::unique_ptr<AsyncRequest>> opened = AsyncRequest::Open(session_.get(), url_, userClosed_);
    if (!opened.ok()) return Stop(AttemptEnd::Refused, Status::Failure(opened.status().code(), opened.status().LogText()));
    request_ptr_ = std::move(opened.value());
    return std::nullopt;
  }

  // Sends and receives until a response to judge for the body arrives, or the attempt ends.
  std::optional<AttemptReport> Exchange() {
    url_ = request_.address;
    const std::wstring headers = FromUtf8(ResumeHeaders(request_.point));
    int redirects = 0;
    bool proxyAnswered = false;
    bool userProxyTried = false;
    if (std::optional<AttemptReport> ended = Open()) return ended;
    for (;;) {
      reporter_.Stage(kStatusConnecting);
      reporter_.Stage(kStatusSendingRequest);
      Step step = request_ptr_->Send(headers, watch_.MsLeft(Now()));
      if (step == Step::Failed && !userProxyTried) {
        // As the configuration fetch does: after a failed send, the user's own proxy settings.
        userProxyTried = true;
        Result<std::optional<ProxyServer>> found = FindUserProxy(url_);
        if (found.ok() && found.value()) {
          proxy_ = found.value();
          session_.reset();
          if (std::optional<AttemptReport> ended = Open()) return ended;
          continue;
        }
      }
      if (step == Step::Done) step = request_ptr_->ReceiveResponse(watch_.MsLeft(Now()));
      if (step != Step::Done) return StepFailed(step);
      status_ = request_ptr_->StatusCode().value_or(0);
      if (status_ == 407) {
        const ProxyAuthDecision decision =
            JudgeProxyChallenge(OfferedAuthSchemes(request_ptr_->handle()), proxyAnswered,
                                ProxyNameForLog(request_ptr_->handle(), proxy_ ? proxy_->proxy : std::wstring()));
        if (!decision.answer) {
          reporter_.Line(LogLevel::Error, decision.refusal);
          return Stop(AttemptEnd::Refused, HttpFailure(status_));
        }
        proxyAnswered = true;
        if (!WinHttp().SetCredentials(request_ptr_->handle(), WINHTTP_AUTH_TARGET_PROXY, decision.scheme, nullptr,
                                      nullptr, nullptr)) {
          return Stop(AttemptEnd::Refused, LastErrorStatus("the user's logon cannot be given to the proxy"));
        }
        continue;
      }
      if (IsFollowedRedirectStatus(status_)) {
        const std::wstring location = request_ptr_->Header(WINHTTP_QUERY_LOCATION).value_or(L"");
        RedirectDecision decision = JudgeRedirect(url_, location, redirects, request_.plainHttpAllowed);
        if (!decision.follow) {
          return Stop(AttemptEnd::Refused,
                      Status::Failure(0, "redirect to " + ForLog(location) + " refused: " + decision.refusal));
        }
        ++redirects;
        url_ = std::move(decision.target);
        reporter_.Line(LogLevel::Info, "Redirected to " + ForLog(url_));
        proxyAnswered = false;
        if (std::optional<AttemptReport> ended = Open()) return ended;
        continue;
      }
      if (status_ == 200 || status_ == 206 || (status_ == 416 && request_.point.offset > 0)) return std::nullopt;
      if (status_ >= 500 && status_ <= 599) return Stop(AttemptEnd::Interrupted, HttpFailure(status_));
      return Stop(AttemptEnd::Refused, HttpFailure(status_));
    }
  }

  // Judges the response for this file and writes its body.
  AttemptReport Body() {
    const std::optional<std::wstring> length = request_ptr_->Header(WINHTTP_QUERY_CONTENT_LENGTH);
    const ResumeDecision decision =
        JudgeResumeAnswer(request_.point, request_.size, status_, length ? ParseByteCount(ToUtf8(*length)) : std::nullopt,
                          Narrow(request_ptr_->Header(WINHTTP_QUERY_CONTENT_RANGE)));
    if (decision.action == ResumeAction::Refuse) return Stop(AttemptEnd::Refused, Status::Failure(0, decision.reason));
    if (decision.action != ResumeAction::Append) {
      const Status emptied = Empty(file_);
      if (!emptied.ok()) return Stop(AttemptEnd::FileFailed, emptied);
      report_.fileBytes = 0;
      if (!decision.reason.empty()) reporter_.Restarted(decision.reason);
    }
    if (decision.action == ResumeAction::StartOver) {
      report_.total = std::nullopt;
      report_.validator.clear();
      return Stop(AttemptEnd::StartOver, Status::Failure(0, decision.reason));
    }
    report_.total = decision.total;
    const std::string validator = ChooseValidator(Narrow(request_ptr_->Header(WINHTTP_QUERY_ETAG)),
                                                  Narrow(request_ptr_->Header(WINHTTP_QUERY_LAST_MODIFIED)));
    if (!validator.empty() || decision.action == ResumeAction::WriteFromStart) report_.validator = validator;

    reporter_.Stage(kStatusMimeTypeAvailable);
    reporter_.Stage(kStatusBeginDownloadData);
    // Reads sized to the link and writes in large pieces; both paced by a slice of the trickle
    // window, so that a slow link's bytes reach the file and the watch within about a second.
    const uint32_t slice = timings_.trickleWindowMs / 60;
    ReadPace pace(slice, kFirstReadBytes, kAsyncReadBytes);
    PieceWriter pieces(file_, kPieceBytes, slice);
    uint64_t position = decision.bodyStart;
    uint64_t brought = 0;
    while (position < decision.readEnd) {
      const uint64_t left = decision.readEnd - position;
      const DWORD asked = static_cast<DWORD>(pace.Next() < left ? pace.Next() : left);
      const unsigned char* data = nullptr;
      DWORD read = 0;
      const uint64_t began = Now();
      const Step step = request_ptr_->Read(asked, watch_.MsLeft(began), data, read);
      if (step != Step::Done) return Finish(pieces, StepEnd(step));
      if (read == 0) break;  // the body has ended
      const uint64_t now = Now();
      pace.Note(asked, read, now - began);
      brought += read;
      watch_.Note(brought, now);
      // Never a byte past the limit, whatever the answer said of its length.
      const uint64_t room = request_.size.limit - position;
      const DWORD kept = static_cast<DWORD>(read < room ? read : room);
      const Status taken = pieces.Add(data, kept, now);
      if (!taken.ok()) return Finish(pieces, {AttemptEnd::FileFailed, taken});
      position += kept;
      reporter_.Bytes(position, report_.total);
      if (kept < read) {
        return Finish(pieces, {AttemptEnd::Refused, Status::Failure(0, "the file is larger than " +
                                                                           std::to_string(request_.size.limit) +
                                                                           " bytes")});
      }
    }
    const Status flushed = pieces.Flush();
    report_.fileBytes = file_.size();
    if (!flushed.ok()) return Stop(AttemptEnd::FileFailed, flushed);
    if (report_.total ? position < *report_.total : false) {
      return Stop(AttemptEnd::Interrupted,
                  Status::Failure(ERROR_WINHTTP_CONNECTION_ERROR,
                                  "the response ended at " + std::to_string(position) + " of " +
                                      std::to_string(*report_.total) + " bytes"));
    }
    if (request_.size.exact && position != request_.size.limit) {
      return Stop(AttemptEnd::Refused, Status::Failure(0, "the file has " + std::to_string(position) +
                                                              " bytes, the document says " +
                                                              std::to_string(request_.size.limit)));
    }
    reporter_.Complete(position, report_.total);
    return Stop(AttemptEnd::Complete);
  }

  FileWriter& file_;
  HANDLE userClosed_;
  const DownloadTimings& timings_;
  const AttemptRequest& request_;
  DownloadReporter& reporter_;
  TrickleWatch watch_;
  AttemptReport report_;
  std::optional<ProxyServer> proxy_;
  WinHttpHandle session_;
  std::unique_ptr<AsyncRequest> request_ptr_;
  std::wstring url_;
  uint32_t status_ = 0;
};

}  // namespace

WinHttpTransfer::WinHttpTransfer(FileWriter& file, HANDLE userClosed, const DownloadTimings& timings)
    : file_(file), userClosed_(userClosed), timings_(timings) {}

AttemptReport WinHttpTransfer::Run(const AttemptRequest& request, DownloadReporter& reporter) {
  Attempt attempt(file_, userClosed_, timings_, request, reporter);
  return attempt.Run();
}

bool EventPacer::Pause(uint32_t ms) {
  if (userClosed_ == nullptr) {
    Sleep(ms);
    return true;
  }
  return WaitForSingleObject(userClosed_, ms) != WAIT_OBJECT_0;
}

}  // namespace orv
