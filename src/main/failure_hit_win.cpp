#include "main/failure_hit.h"

#include "http/http_client.h"
#include "main/logging.h"
#include "main/outcome.h"

void SendFailureHit(const wchar_t* analyticsHost, const std::wstring& installationId, uint32_t exitCode) {
  LOG(INFO) << "Sending failed hit to Piwik";
  HttpClient client(BuildTrackingUrl(analyticsHost ? analyticsHost : L"", installationId, exitCode));
  client.setTotalDeadline(kFailureHitDeadlineMs);
  static_cast<void>(client.execute(L"GET"));
  LOG(INFO) << "Sent failed hit to Piwik";
}
