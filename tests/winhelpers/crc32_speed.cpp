// CRC-32 throughput of this build: crc32_speed.exe [MiB, default 256]
// Times Crc32 (and the slicing and byte-wise methods) over an in-memory buffer, then FileCrc32
// over a file of the same bytes in the temporary folder; prints GB/s (10^9 bytes per second).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "util/crc32.h"
#include "util/crc32_kernels.h"
#include "util/file_sums.h"

#include "speed_common.h"

namespace {
using namespace orv;

// Best of `rounds` timings of fn(); returns GB/s for `bytes` bytes.
template <typename Fn>
double BestRate(size_t bytes, int rounds, Fn fn, uint32_t& crc) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const double start = speed::Seconds();
    crc = fn();
    const double elapsed = speed::Seconds() - start;
    if (elapsed < best) best = elapsed;
  }
  return static_cast<double>(bytes) / best / 1e9;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t mib = speed::MebibytesArgument(argc, argv);
  const size_t size = mib << 20;
  const std::vector<uint8_t> buffer = speed::Bytes(size);
  std::printf("clmul folding: %s\n", Crc32ClmulUsable() ? "used" : "not available");

  uint32_t ours = 0, slicing = 0, bytewise = 0, file = 0;
  const double oursRate = BestRate(size, 5, [&] { return Crc32(buffer.data(), size); }, ours);
  const double slicingRate =
      BestRate(size, 3, [&] { return ~Crc32SlicingRaw(0xFFFFFFFFu, buffer.data(), size); }, slicing);
  const double bytewiseRate =
      BestRate(size, 1, [&] { return ~Crc32BytewiseRaw(0xFFFFFFFFu, buffer.data(), size); }, bytewise);
  std::printf("Crc32     %zu MiB in memory: %6.2f GB/s  crc %08x\n", mib, oursRate, ours);
  std::printf("slicing   %zu MiB in memory: %6.2f GB/s  crc %08x\n", mib, slicingRate, slicing);
  std::printf("bytewise  %zu MiB in memory: %6.2f GB/s  crc %08x\n", mib, bytewiseRate, bytewise);

  const std::wstring path = speed::WriteTemporaryFile(L"orv_crc32_speed.bin", buffer);
  if (path.empty()) return 1;
  const double fileRate = BestRate(size, 3, [&] { return FileCrc32(path); }, file);
  DeleteFileW(path.c_str());
  std::printf("FileCrc32 %zu MiB file:      %6.2f GB/s  crc %08x\n", mib, fileRate, file);

  const bool agree = ours == slicing && ours == bytewise && ours == file;
  std::printf("%s\n", agree ? "all results agree" : "RESULTS DIFFER");
  return agree ? 0 : 1;
}
