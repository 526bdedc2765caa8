#include "main/download_url.h"

#include "text/wide_text.h"

namespace orv {

std::wstring AppendCacheBuster(const std::wstring& url, unsigned value) {
  const wchar_t* separator = url.find(L'?') == std::wstring::npos ? L"?rn=" : L"&rn=";
  return url + separator + DecimalText(value);
}

}  // namespace orv
