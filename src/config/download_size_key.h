#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Reads the optional key "size" (the installer's exact size in bytes) of the configuration text
// that ConfigDocument::Parse accepted. False with error set ("size is not an unsigned integer",
// "size is 0", "size is larger than 4 GiB", or the parser's message) when the key is there but
// unusable; otherwise true, size empty when the key is missing (or the root is not an object).
[[nodiscard]] bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size,
                                    std::string& error);
