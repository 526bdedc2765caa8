#pragma once
#include <cstdint>
#include <string>

namespace orv {

// Never fails: value in decimal digits, without sign or leading zeros ("0" for zero). Used where
// std::to_wstring would link libstdc++'s wide printf into the executable.
std::wstring DecimalText(uint32_t value);

}  // namespace orv
