#include "publish_commands.h"

#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/status.h"
#include "config/stub_config.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "http/body_buffer.h"
#include "publish/document_maker.h"
#include "publish/stub_verdict.h"
#include "publish/transfer_report.h"
#include "publish_fetch.h"
#include "publish_files.h"
#include "text/utf8.h"

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

int Error(std::FILE* err, int status, const std::string& message) {
  std::fprintf(err, "orvpublish: %s\n", message.c_str());
  return status;
}

void Print(std::FILE* out, const std::string& text) { std::fputs(text.c_str(), out); }

bool IsTerminal(std::FILE* file) {
#ifdef _WIN32
  return _isatty(_fileno(file)) != 0;
#else
  return isatty(fileno(file)) != 0;
#endif
}

// The progress line of one transfer on a terminal, redrawn at most four times a second.
class ProgressLine {
 public:
  ProgressLine(std::FILE* err, std::optional<uint64_t> total)
      : err_(IsTerminal(err) ? err : nullptr), total_(total), start_(Clock::now()), last_(start_) {}
  void Update(uint64_t received) {
    if (!err_) return;
    const Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
    std::fprintf(err_, "\r%-60s", ProgressText(received, total_, static_cast<uint64_t>(elapsed)).c_str());
    std::fflush(err_);
    drawn_ = true;
  }
  ~ProgressLine() {
    if (drawn_) std::fprintf(err_, "\r%-60s\r", "");
  }

 private:
  std::FILE* err_;
  std::optional<uint64_t> total_;
  Clock::time_point start_;
  Clock::time_point last_;
  bool drawn_ = false;
};

int RunMake(const PublishCommand& command, std::FILE* out, std::FILE* err) {
  DocumentRequest request;
  std::string error;
  if (!SumFile(command.installer, request.installer, error)) return Error(err, kExitUsage, "make: " + error);
  request.shortcut = command.shortcut;
  request.wrapper = command.wrapper;
  request.version = command.version;
  request.mirrors = command.mirrors;
  std::string document;
  if (!MakeDocument(request, document, error)) {
    return Error(err, kExitRefused, "make: the stub would refuse this document: " + error);
  }
  if (command.output.empty()) {
    Print(out, document);
    return std::fflush(out) == 0 ? kExitAccepted : Error(err, kExitRefused, "make: cannot write standard output");
  }
  if (!WriteWholeFile(command.output, document, error)) return Error(err, kExitRefused, "make: " + error);
  return kExitAccepted;
}

int RunCheck(const PublishCommand& command, std::FILE* out, std::FILE* err) {
  std::string body;
  std::string error;
  // One byte past the stub's limit on a response is enough to tell that it is passed.
  if (!ReadFileHead(command.document, uint64_t{BodyBuffer::kMaxBodyBytes} + 1, body, error)) {
    return Error(err, kExitUsage, "check: " + error);
  }
  const std::string size = body.size() > BodyBuffer::kMaxBodyBytes ? "over " + FormatBytes(BodyBuffer::kMaxBodyBytes)
                                                                    : FormatBytes(body.size());
  Print(out, "document: " + command.document + " (" + size + ")\n");
  StubConfig config;
  StubVerdict verdict = JudgeDocument(body, config);
  if (verdict.code == 0) {
    Print(out, DescribeConfig(config));
    if (!command.installer.empty()) {
      FileSums sums;
      if (!SumFile(command.installer, sums, error)) return Error(err, kExitUsage, "check: " + error);
      Print(out, DescribeSums(sums));
      verdict = JudgeInstaller(config, sums);
    }
  }
  Print(out, DescribeVerdict(verdict));
  return verdict.code == 0 ? kExitAccepted : kExitRefused;
}

int Refused(std::FILE* out, RunError error, const std::string& reason) {
  Print(out, DescribeVerdict(StubVerdict{static_cast<uint32_t>(error), reason}));
  return kExitRefused;
}

// Fetches the installer from address (label names it in the report) and judges it as the stub
// judges a download: its HTTP status, the size rule and the sums.
StubVerdict VerifyInstaller(const std::string& label, const std::string& address, const StubConfig& config,
                            const std::string& caFile, std::FILE* out, std::FILE* err) {
  FetchLimits limits;
  limits.maxBytes = DownloadSizeLimit(config.size);
  FileSumsBuilder builder;
  FetchResult fetched;
  bool arrived = false;
  {
    ProgressLine progress(err, config.size);
    uint64_t received = 0;
    arrived = Fetch(address, caFile, limits, [&](const char* data, std::size_t size) {
      builder.Add(data, size);
      received += size;
      progress.Update(received);
      return true;
    }, fetched);
  }
  Print(out, DescribeTransfer(label, fetched.figures) + "\n");
  if (!arrived) {
    return StubVerdict{static_cast<uint32_t>(RunError::Download), "the " + label + "'s download fails: " + fetched.error};
  }
  StubVerdict verdict = JudgeInstallerStatus(fetched.figures.status);
  if (verdict.code == 0) {
    const FileSums sums = builder.Finish();
    Print(out, DescribeSums(sums));
    verdict = JudgeInstaller(config, sums);
  }
  if (verdict.code != 0 && label != "installer") verdict.reason = label + ": " + verdict.reason;
  return verdict;
}

int RunVerify(const PublishCommand& command, std::FILE* out, std::FILE* err) {
  if (!CanFetch()) {
    return Error(err, kExitUsage, "verify: this build of orvpublish cannot fetch (no HTTPS client)");
  }
  if (!command.caFile.empty() && !CanUseCaFile()) {
    return Error(err, kExitUsage, "verify: --ca-file is not supported by this build, which trusts the Windows certificate store");
  }
  if (command.url.compare(0, 8, "https://") != 0) {
    return Error(err, kExitUsage, "verify: the stub fetches its document over https only: " + command.url);
  }
  std::string body;
  FetchLimits documentLimits;
  documentLimits.maxBytes = BodyBuffer::kMaxBodyBytes;
  documentLimits.deadlineMs = kConfigFetchDeadlineMs;
  FetchResult fetched;
  const bool documentArrived = Fetch(command.url, command.caFile, documentLimits, [&body](const char* data, std::size_t size) {
    body.append(data, size);
    return true;
  }, fetched);
  Print(out, DescribeTransfer("document", fetched.figures) + "\n");
  if (!documentArrived) {
    return Refused(out, RunError::ConfigFetch, std::string(kConfigFetchFailedLine) + " (" + fetched.error + ")");
  }
  const std::string warning = CharsetWarning(FromUtf8(fetched.headers), body);
  if (!warning.empty()) Print(out, warning + "\n");
  StubConfig config;
  const StubVerdict documentVerdict = JudgeDocument(body, config);
  if (documentVerdict.code != 0) {
    Print(out, DescribeVerdict(documentVerdict));
    return kExitRefused;
  }
  Print(out, DescribeConfig(config));

  // The wrapper with the stub's cache-busting value, then every mirror as the document gives it.
  std::random_device random;
  std::vector<std::pair<std::string, std::string>> addresses{
      {"installer", ToUtf8(AppendCacheBuster(config.wrapper, random() % 32768u))}};
  for (size_t i = 0; i < config.mirrors.size(); ++i) {
    addresses.emplace_back("mirror " + std::to_string(i + 1), ToUtf8(config.mirrors[i]));
  }
  StubVerdict verdict;
  for (const auto& [label, address] : addresses) {
    verdict = VerifyInstaller(label, address, config, command.caFile, out, err);
    if (verdict.code != 0) break;
  }
  Print(out, DescribeVerdict(verdict));
  return verdict.code == 0 ? kExitAccepted : kExitRefused;
}

}  // namespace

int RunPublishCommand(const PublishCommand& command, std::FILE* out, std::FILE* err) {
  switch (command.kind) {
    case PublishCommand::Kind::Make: return RunMake(command, out, err);
    case PublishCommand::Kind::Check: return RunCheck(command, out, err);
    case PublishCommand::Kind::Verify: return RunVerify(command, out, err);
    case PublishCommand::Kind::Help: break;
  }
  Print(out, PublishHelp(command.topic));
  return kExitAccepted;
}

}  // namespace orv
