#pragma once
#include <cstdint>
#include <optional>
#include <string>

// False, error set ("size is not an unsigned integer", "size is 0", "size is larger than 4 GiB"),
// when the key "size" of configuration text that ConfigDocument::Parse accepted is unusable;
// else true with size = the installer's exact size in bytes, empty when the key is missing.
[[nodiscard]] bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size,
                                    std::string& error);
