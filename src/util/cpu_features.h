#pragma once
#include <optional>

namespace orv {

// The four registers that CPUID gives for one leaf (sub-leaf 0).
struct CpuidRegisters {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
};

// nullopt on a processor that is not x86 or whose highest CPUID leaf is below leaf; otherwise what
// CPUID gives for leaf, sub-leaf 0.
std::optional<CpuidRegisters> ReadCpuid(unsigned leaf);

}  // namespace orv
