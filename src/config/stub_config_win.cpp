#include "config/stub_config.h"

#include <cwchar>

#include "http/http_client.h"

namespace orv {

Result<FetchedDocument> FetchConfigurationDocument(const wchar_t* url, bool requireValidCertificate) {
  HttpClient client(url ? url : L"");
  client.setRequireValidCertificate(requireValidCertificate);
  client.setTotalDeadline(kConfigFetchDeadlineMs);
  if (!client.execute(L"GET")) return Status::Failure(client.lastError(), client.failureDetail());
  FetchedDocument fetched;
  fetched.httpStatus = static_cast<uint32_t>(std::wcstoul(client.statusCode().c_str(), nullptr, 10));
  if (client.body()) fetched.bytes.assign(reinterpret_cast<const char*>(client.body()), client.bodyLength());
  return fetched;
}

}  // namespace orv
