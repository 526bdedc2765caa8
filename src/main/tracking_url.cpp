#include "main/tracking_url.h"

#include "text/wide_text.h"

namespace orv {

std::wstring BuildTrackingUrl(std::wstring_view analyticsHost, std::wstring_view installationId, uint32_t exitCode) {
  std::wstring url(L"https://");
  url.append(analyticsHost);
  url.append(L"/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=").append(installationId);
  url.append(L"&e_c=Undetermined&e_a=Failed&e_n=").append(DecimalText(exitCode));
  return url;
}

}  // namespace orv
