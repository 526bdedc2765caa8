#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// False, size empty, error set (ConfigDocument::Parse's error, or ConfigDocument::ReadSize's)
// when configText does not parse or its "size" is unusable; else true with size = the
// installer's exact size in bytes, empty when the key (or a root object) is missing.
[[nodiscard]] bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size,
                                    std::string& error);

}  // namespace orv
