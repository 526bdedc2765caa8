#pragma once
#include <string>
#include <string_view>

// The cancellation page: base followed directly by the version, unescaped.
std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version);
