#include "util/cpu_features.h"

#if defined(_M_IX86) || defined(_M_X64) || defined(__i386__) || defined(__x86_64__)
#define ORV_X86 1
#ifdef _MSC_VER
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace orv {

std::optional<CpuidRegisters> ReadCpuid(unsigned leaf) {
#ifdef ORV_X86
#ifdef _MSC_VER
  int info[4] = {};
  __cpuid(info, 0);
  if (static_cast<unsigned>(info[0]) < leaf) return std::nullopt;
  __cpuidex(info, static_cast<int>(leaf), 0);
  return CpuidRegisters{static_cast<unsigned>(info[0]), static_cast<unsigned>(info[1]), static_cast<unsigned>(info[2]),
                        static_cast<unsigned>(info[3])};
#else
  CpuidRegisters registers;
  if (!__get_cpuid_count(leaf, 0, &registers.eax, &registers.ebx, &registers.ecx, &registers.edx)) return std::nullopt;
  return registers;
#endif
#else
  static_cast<void>(leaf);
  return std::nullopt;
#endif
}

}  // namespace orv
