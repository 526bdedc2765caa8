#include "main/cancellation_page.h"

#include "text/web_address.h"

namespace orv {

std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version) {
  std::wstring address(cancelPageBase);
  address.append(PercentEncode(version));
  return address;
}

}  // namespace orv
