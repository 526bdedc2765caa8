#pragma once
// The highest configuration serial a run on this machine has accepted, kept per product in
// HKLM\SOFTWARE\Orvandel\Setup\<product>, value ConfigSerial (REG_QWORD), always in the 32-bit
// view of the registry. Only administrators can change it. Windows only.
#include <cstdint>
#include <optional>
#include <string>

#include "base/status.h"

namespace orv {

// The key's path under HKLM for product.
std::wstring HighestSerialKey(const std::wstring& product);

// A failure with the platform's code when the value cannot be read or is not an 8-byte
// REG_QWORD; nullopt when neither the key nor the value exists; otherwise the value.
[[nodiscard]] Result<std::optional<uint64_t>> ReadHighestSerial(const std::wstring& product);

// A failure with the platform's code when the key cannot be made or the value written.
[[nodiscard]] Status WriteHighestSerial(const std::wstring& product, uint64_t serial);

}  // namespace orv
