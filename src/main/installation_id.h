#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace orv {

// nullopt when text is not a UUID's text (8-4-4-4-12 hexadecimal groups, either letter case,
// no braces); otherwise the installation id: that text in lower case, 36 characters.
[[nodiscard]] std::optional<std::wstring> InstallationIdFromUuidText(std::wstring_view text);

}  // namespace orv
