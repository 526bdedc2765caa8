#include "util/crc32.h"

#include "util/cpu_features.h"
#include "util/crc32_kernels.h"

namespace orv {

namespace {

bool CpuHasClmul() {
  constexpr unsigned kPclmulqdq = 1u << 1;  // CPUID leaf 1, ECX
  constexpr unsigned kSse41 = 1u << 19;     // CPUID leaf 1, ECX
  const std::optional<CpuidRegisters> leaf1 = ReadCpuid(1);
  return leaf1 && (leaf1->ecx & kPclmulqdq) != 0 && (leaf1->ecx & kSse41) != 0;
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
