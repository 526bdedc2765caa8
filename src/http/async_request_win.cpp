#include "http/async_request.h"

#include <atomic>

#include "base/last_error.h"
#include "base/unique_handle.h"
#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"
#include "http/winhttp_query.h"

namespace orv {

// What the request shares with WinHTTP's callback, which may run on any thread, and with its
// reader. Owners: the AsyncRequest, WinHTTP from the callback's registration to the request's
// HANDLE_CLOSING, and the reader while it runs.
struct AsyncRequest::Context {
  std::atomic<long> owners{1};
  UniqueHandle completed{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // one set per completion
  UniqueHandle closing{CreateEventW(nullptr, TRUE, FALSE, nullptr)};     // set at HANDLE_CLOSING
  UniqueHandle command{CreateEventW(nullptr, FALSE, FALSE, nullptr)};    // a read or the close for the reader
  std::atomic<DWORD> readSize{0};
  std::atomic<bool> closeAsked{false};
  // Closed by the reader once it runs (it may be inside a read), otherwise by End.
  WinHttpHandle connection;
  WinHttpHandle request;
  std::atomic<DWORD> kind{0};   // the last completion's WINHTTP_CALLBACK_STATUS_*
  std::atomic<DWORD> error{0};  // its error (REQUEST_ERROR)
  std::atomic<DWORD> count{0};  // its byte count (READ_COMPLETE)
  unsigned char buffer[kAsyncReadBytes];

  void Complete(DWORD status, DWORD failure, DWORD bytes) {
    kind.store(status);
    error.store(failure);
    count.store(bytes);
    SetEvent(completed.get());
  }
  void Release() {
    if (owners.fetch_sub(1) == 1) delete this;
  }
};

namespace {

constexpr DWORD kMaxHeaderChars = 16384;

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR contextValue, DWORD status, LPVOID info, DWORD infoLength) {
  auto* context = reinterpret_cast<AsyncRequest::Context*>(contextValue);
  if (context == nullptr) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      context->Complete(status, 0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      context->Complete(status, 0, infoLength);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const auto* result = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
      context->Complete(status, result != nullptr ? result->dwError : ERROR_WINHTTP_INTERNAL_ERROR, 0);
      break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      SetEvent(context->closing.get());
      context->Release();
      break;
    default:
      break;
  }
}

constexpr DWORD kNotifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;

// The reader's stack: WinHTTP's receive (TLS included) and nothing else.
constexpr SIZE_T kReaderStackBytes = 256 * 1024;

// Starts each read the request's thread asks for, then closes the request when asked. Wine 8
// completes a read on the calling thread, holding it until the whole buffer is filled, when some
// data is there already; here that holds only the reader, never the thread that keeps the time.
DWORD WINAPI RunReader(void* parameter) {
  auto* context = static_cast<AsyncRequest::Context*>(parameter);
  for (;;) {
    WaitForSingleObject(context->command.get(), INFINITE);
    if (context->closeAsked.load()) break;
    if (!WinHttp().ReadData(context->request.get(), context->buffer, context->readSize.load(), nullptr)) {
      context->Complete(WINHTTP_CALLBACK_STATUS_REQUEST_ERROR, GetLastError(), 0);
    }
  }
  context->request.reset();
  context->connection.reset();
  context->Release();
  return 0;
}

}  // namespace

Result<std::unique_ptr<AsyncRequest>> AsyncRequest::Open(HINTERNET session, const std::wstring& url,
                                                         HANDLE userClosed) {
  if (!WinHttp().loaded) return Status::Failure(ERROR_MOD_NOT_FOUND, "WinHTTP is not available");
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttp().CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    return LastErrorStatus("The address cannot be split");
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  std::unique_ptr<AsyncRequest> request(new AsyncRequest());
  request->userClosed_ = userClosed;
  request->secure_ = parts.nScheme == INTERNET_SCHEME_HTTPS;
  request->context_ = new Context();
  Context& context = *request->context_;
  if (!context.completed || !context.closing || !context.command) {
    return LastErrorStatus("The request's events cannot be made");
  }
  context.connection.reset(WinHttp().Connect(session, host.c_str(), parts.nPort, 0));
  if (!context.connection) return LastErrorStatus("WinHttpConnect failed");
  context.request.reset(WinHttp().OpenRequest(context.connection.get(), L"GET", path.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              request->secure_ ? WINHTTP_FLAG_SECURE : 0));
  if (!context.request) return LastErrorStatus("WinHttpOpenRequest failed");
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  if (!WinHttp().SetOption(context.request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable))) {
    return LastErrorStatus("Redirects cannot be turned off");
  }
  DWORD_PTR contextValue = reinterpret_cast<DWORD_PTR>(request->context_);
  if (!WinHttp().SetOption(context.request.get(), WINHTTP_OPTION_CONTEXT_VALUE, &contextValue,
                           sizeof(contextValue))) {
    return LastErrorStatus("The request's context cannot be set");
  }
  if (WinHttp().SetStatusCallback(context.request.get(), OnRequestStatus, kNotifications, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    return LastErrorStatus("The request's callback cannot be set");
  }
  // From here WinHTTP owns the context too, until the request's HANDLE_CLOSING.
  request->context_->owners.fetch_add(1);
  return request;
}

AsyncRequest::~AsyncRequest() { static_cast<void>(End(kEndBoundMs)); }

HINTERNET AsyncRequest::handle() const { return context_ != nullptr ? context_->request.get() : nullptr; }

Status AsyncRequest::End(uint32_t boundMs) {
  if (ended_) return Status();
  ended_ = true;
  const bool registered = context_ != nullptr && context_->owners.load() > 1;
  if (reader_) {
    // The reader closes the request as soon as it is free (at once unless a read holds it).
    context_->closeAsked.store(true);
    SetEvent(context_->command.get());
    reader_.reset();
  } else if (context_ != nullptr) {
    context_->request.reset();
    context_->connection.reset();
  }
  Status result;
  if (registered && WaitForSingleObject(context_->closing.get(), boundMs) != WAIT_OBJECT_0) {
    result = Status::Failure(WAIT_TIMEOUT, "WinHTTP still holds the request after " + std::to_string(boundMs) + " ms");
  }
  if (context_ != nullptr) context_->Release();
  context_ = nullptr;
  return result;
}

AsyncRequest::Step AsyncRequest::Wait(uint64_t timeoutMs) {
  // The user's close first: it wins over a completion that is there as well.
  HANDLE handles[2] = {userClosed_, context_->completed.get()};
  HANDLE* const first = userClosed_ != nullptr ? handles : handles + 1;
  const DWORD count = userClosed_ != nullptr ? 2 : 1;
  const DWORD ms = timeoutMs >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(timeoutMs);
  const DWORD woken = WaitForMultipleObjects(count, first, FALSE, ms);
  if (woken == WAIT_OBJECT_0 + count - 1) {
    if (context_->kind.load() != WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) return Step::Done;
    error_ = context_->error.load();
    return Step::Failed;
  }
  if (woken == WAIT_OBJECT_0 && count == 2) return Step::Closed;
  if (woken == WAIT_TIMEOUT) return Step::TimedOut;
  error_ = GetLastError();
  return Step::Failed;
}

AsyncRequest::Step AsyncRequest::Send(const std::wstring& headers, uint64_t timeoutMs) {
  if (!WinHttp().SendRequest(handle(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                             static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0,
                             reinterpret_cast<DWORD_PTR>(context_))) {
    error_ = GetLastError();
    return Step::Failed;
  }
  return Wait(timeoutMs);
}

AsyncRequest::Step AsyncRequest::ReceiveResponse(uint64_t timeoutMs) {
  if (!WinHttp().ReceiveResponse(handle(), nullptr)) {
    error_ = GetLastError();
    return Step::Failed;
  }
  return Wait(timeoutMs);
}

AsyncRequest::Step AsyncRequest::Read(DWORD size, uint64_t timeoutMs, const unsigned char*& data, DWORD& read) {
  read = 0;
  data = context_->buffer;
  if (!reader_) {
    context_->owners.fetch_add(1);
    reader_.reset(CreateThread(nullptr, kReaderStackBytes, RunReader, context_, STACK_SIZE_PARAM_IS_A_RESERVATION,
                               nullptr));
    if (!reader_) {
      error_ = GetLastError();
      context_->Release();
      return Step::Failed;
    }
  }
  context_->readSize.store(size < kAsyncReadBytes ? size : kAsyncReadBytes);
  SetEvent(context_->command.get());
  const Step step = Wait(timeoutMs);
  if (step == Step::Done) read = context_->count.load();
  return step;
}

std::optional<uint32_t> AsyncRequest::StatusCode() const {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttp().QueryHeaders(handle(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return status;
}

std::optional<std::wstring> AsyncRequest::Header(DWORD query) const {
  return QueryHeaderText(handle(), query, kMaxHeaderChars);
}

}  // namespace orv
