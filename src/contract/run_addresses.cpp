#include "contract/run_addresses.h"

#include "text/web_address.h"
#include "text/wide_text.h"

namespace orv {

std::wstring AppendCacheBuster(const std::wstring& url, unsigned value) {
  const wchar_t* separator = url.find(L'?') == std::wstring::npos ? L"?rn=" : L"&rn=";
  return url + separator + DecimalText(value);
}

std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version) {
  std::wstring address(cancelPageBase);
  address.append(PercentEncode(version));
  return address;
}

std::wstring BuildTrackingUrl(std::wstring_view analyticsHost, std::wstring_view installationId, uint32_t exitCode) {
  std::wstring url(L"https://");
  url.append(analyticsHost);
  url.append(L"/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=").append(installationId);
  url.append(L"&e_c=Undetermined&e_a=Failed&e_n=").append(DecimalText(exitCode));
  return url;
}

}  // namespace orv
