#include "util/crc32_kernels.h"
#include "util/crc32_tables.h"

namespace orv {

static_assert(kCrc32Tables[0][1] == 0x77073096u, "standard CRC-32 table");
static_assert(kCrc32Tables[0][255] == 0x2D02EF8Du, "standard CRC-32 table");
static_assert(kCrc32SliceWidth == 8, "Crc32SlicingRaw consumes eight bytes per step");

namespace {

// The slicing tables, computed on first use (thread-safe) instead of stored: 8 KiB less in the
// executable that every installation downloads.
struct SlicingTables {
  SlicingTables() { crc32_detail::FillTables(tables); }
  std::array<Crc32Table, kCrc32SliceWidth> tables{};
};

const std::array<Crc32Table, kCrc32SliceWidth>& Tables() {
  static const SlicingTables built;
  return built.tables;
}

}  // namespace

uint32_t Crc32BytewiseRaw(uint32_t reg, const uint8_t* data, size_t size) {
  const Crc32Table& table = Tables()[0];
  for (size_t i = 0; i < size; ++i) reg = (reg >> 8) ^ table[(reg ^ data[i]) & 0xFFu];
  return reg;
}

namespace {

uint32_t LoadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint32_t Crc32SlicingRaw(uint32_t reg, const uint8_t* data, size_t size) {
  const auto& t = Tables();
  while (size >= 8) {
    const uint32_t low = LoadLittle32(data) ^ reg;
    const uint32_t high = LoadLittle32(data + 4);
    reg = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24] ^
          t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^ t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
    data += 8;
    size -= 8;
  }
  return Crc32BytewiseRaw(reg, data, size);
}

}  // namespace orv
