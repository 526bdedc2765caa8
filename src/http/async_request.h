#pragma once
// One HTTP GET over WinHTTP in asynchronous mode, driven from one thread step by step: each step
// starts a WinHTTP operation and waits until it completes, the user closes (an event), or its time
// runs out. WinHTTP ends an operation in flight when the request's handle is closed (documented for
// asynchronous requests only, hence this mode), so a request can be ended at any moment.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/status.h"
#include "base/unique_handle.h"
#include "http/winhttp_handle.h"

namespace orv {

// Bytes one read step takes at most.
inline constexpr DWORD kAsyncReadBytes = 128 * 1024;

class AsyncRequest {
 public:
  // How a step ended.
  enum class Step {
    Done,      // the operation completed
    Failed,    // it failed: error() tells why
    Closed,    // the user-closed event was set first
    TimedOut,  // its time ran out first; the operation is still in flight
  };

  // A failure Status (the platform's code) when url (http or https) cannot be split or a handle,
  // the completion events or the status callback cannot be made. Otherwise a GET request for url
  // in session (opened with WINHTTP_FLAG_ASYNC) on a connection of its own, with WinHTTP's own
  // following of redirects turned off. userClosed (an event; may be null) ends every wait.
  static Result<std::unique_ptr<AsyncRequest>> Open(HINTERNET session, const std::wstring& url, HANDLE userClosed);
  // End(kEndBoundMs) unless End has run.
  ~AsyncRequest();
  AsyncRequest(const AsyncRequest&) = delete;
  AsyncRequest& operator=(const AsyncRequest&) = delete;

  // A failure when WinHTTP still holds the request boundMs after its handles were closed (its
  // buffers then stay alive until it lets go; nothing reads them again). Otherwise success: the
  // handles are closed, every operation has ended and no callback for this request will come.
  // Runs once; later calls return success at once.
  Status End(uint32_t boundMs);

  // The request handle, for options and header queries between steps; null once End has run.
  HINTERNET handle() const;
  // Whether the request goes over https.
  bool secure() const { return secure_; }

  // Sends the request with extra header lines (CR LF between them; "" for none).
  Step Send(const std::wstring& headers, uint64_t timeoutMs);
  // Waits for the response head.
  Step ReceiveResponse(uint64_t timeoutMs);
  // Reads up to size bytes (at most kAsyncReadBytes); data points at the read bytes until the next
  // step, read = how many (0: the body has ended). Windows completes a read with the bytes that are
  // there; Wine 8 only once size bytes (or the body's end) have come, so the reads are started on a
  // thread of the request's own: the wait here still ends at its time or the user's close.
  Step Read(DWORD size, uint64_t timeoutMs, const unsigned char*& data, DWORD& read);
  // The platform's error code of the last step that Failed.
  DWORD error() const { return error_; }

  // Empty when the response head has no status; otherwise its HTTP status.
  std::optional<uint32_t> StatusCode() const;
  // Empty when the response head lacks the header (a WINHTTP_QUERY_* value) or its value is longer
  // than 16384 characters; otherwise its value.
  std::optional<std::wstring> Header(DWORD query) const;

  // How long End waits by default for WinHTTP to let go of a request.
  static constexpr uint32_t kEndBoundMs = 10000;

  // What the request shares with WinHTTP's status callback (defined with the callback).
  struct Context;

 private:
  AsyncRequest() = default;
  Step Wait(uint64_t timeoutMs);

  Context* context_ = nullptr;  // shared with WinHTTP's callback and the reader; released by each
  UniqueHandle reader_;         // the thread that starts the reads, from the first one
  HANDLE userClosed_ = nullptr;
  bool secure_ = false;
  bool ended_ = false;
  DWORD error_ = 0;
};

}  // namespace orv
