#include "config/stub_config.h"

#include "http/http_client.h"

namespace orv {

bool FetchConfiguration(const wchar_t* url, bool requireValidCertificate, std::wstring& text) {
  HttpClient client(url ? url : L"");
  client.setRequireValidCertificate(requireValidCertificate);
  client.setTotalDeadline(kConfigFetchDeadlineMs);
  if (!client.execute(L"GET")) return false;
  text = client.responseText();
  return true;
}

}  // namespace orv
