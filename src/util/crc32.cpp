#include "util/crc32.h"

#include "util/crc32_kernels.h"

#if defined(_M_IX86) || defined(_M_X64) || defined(__i386__) || defined(__x86_64__)
#define ORV_X86 1
#ifdef _MSC_VER
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace orv {

namespace {

bool CpuHasClmul() {
#ifdef ORV_X86
  constexpr unsigned kPclmulqdq = 1u << 1;  // CPUID leaf 1, ECX
  constexpr unsigned kSse41 = 1u << 19;     // CPUID leaf 1, ECX
#ifdef _MSC_VER
  int info[4] = {};
  __cpuid(info, 0);
  if (info[0] < 1) return false;
  __cpuid(info, 1);
  const unsigned ecx = static_cast<unsigned>(info[2]);
#else
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
#endif
  return (ecx & kPclmulqdq) != 0 && (ecx & kSse41) != 0;
#else
  return false;
#endif
}

}  // namespace

bool Crc32ClmulUsable() {
  static const bool usable = Crc32ClmulBuilt() && CpuHasClmul();
  return usable;
}

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  const uint32_t reg = ~crc;
  return ~(Crc32ClmulUsable() ? Crc32ClmulRaw(reg, bytes, size) : Crc32SlicingRaw(reg, bytes, size));
}

}  // namespace orv
