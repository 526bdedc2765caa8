#pragma once
#include <string>
#include <string_view>

namespace orv {

// The cancellation page: base followed by the version, percent-encoded as one URL component
// (RFC 3986 unreserved characters stay, so "4.1.674" is unchanged).
std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version);

}  // namespace orv
