#include "main/cancellation_page.h"

std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version) {
  std::wstring address(cancelPageBase);
  address.append(version);
  return address;
}
