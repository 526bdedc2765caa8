#include "config/stub_config.h"

#include "http/http_client.h"

namespace orv {

Result<std::wstring> FetchConfigurationText(const wchar_t* url, bool requireValidCertificate) {
  HttpClient client(url ? url : L"");
  client.setRequireValidCertificate(requireValidCertificate);
  client.setTotalDeadline(kConfigFetchDeadlineMs);
  if (!client.execute(L"GET")) return Status::Failure(client.lastError(), client.failureDetail());
  return client.responseText();
}

}  // namespace orv
