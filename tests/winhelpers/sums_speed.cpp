// Speed of the installer check in this build: sums_speed.exe [MiB, default 256]
// Times SHA-256 (as the run chooses it, and the portable rounds) over an in-memory buffer, then
// the check as the run makes it (the file opened locked, both sums in one pass through the
// handle) over a file of the same bytes in the temporary folder; prints MB/s (10^6 bytes per
// second) and seconds by real and by processor time (the machine may be shared), best of a few
// runs. Exit status 1 when any two results differ.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "held_files/held_file.h"
#include "util/file_sums.h"
#include "util/sha256.h"
#include "util/sha256_kernels.h"

#include "speed_common.h"

namespace {
using namespace orv;

// This thread's processor time (user and kernel) in seconds: what the work took on a shared machine.
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct Timing {
  double real = 1e30;
  double cpu = 1e30;
};

// The shortest real and processor times of `rounds` runs of fn(); result holds fn()'s last value.
template <typename Fn, typename Result>
Timing Best(int rounds, Fn fn, Result& result) {
  Timing best;
  for (int i = 0; i < rounds; ++i) {
    const double start = speed::Seconds();
    const double cpuStart = CpuSeconds();
    result = fn();
    const double cpu = CpuSeconds() - cpuStart;
    const double real = speed::Seconds() - start;
    if (real < best.real) best.real = real;
    if (cpu < best.cpu) best.cpu = cpu;
  }
  return best;
}

// MB/s (10^6 bytes per second) and seconds, by real and by processor time.
void Print(const char* what, size_t bytes, const Timing& t) {
  const double size = static_cast<double>(bytes);
  std::printf("%-36s %8.0f MB/s %7.3f s real  %8.0f MB/s %7.3f s CPU\n", what, size / t.real / 1e6, t.real,
              size / t.cpu / 1e6, t.cpu);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t mib = speed::MebibytesArgument(argc, argv);
  const size_t size = mib << 20;
  const std::vector<uint8_t> buffer = speed::Bytes(size);
  std::printf("SHA extensions: %s (%zu-bit build)\n", orv::Sha256ShaniUsable() ? "used" : "not available",
              sizeof(void*) * 8);

  Sha256Digest ours{}, portable{};
  const Timing oursTime = Best(5, [&] { return Sha256Of(buffer.data(), size); }, ours);
  const Timing portableTime = Best(1, [&] {
    Sha256 sha(orv::Sha256BlocksPortable);
    sha.Update(buffer.data(), size);
    return sha.Finish();
  }, portable);
  const std::string megs = std::to_string(mib) + " MiB";
  Print(("SHA-256, " + megs + " in memory").c_str(), size, oursTime);
  Print(("portable SHA-256, " + megs + " in memory").c_str(), size, portableTime);

  FileSums inMemory{};
  const Timing memoryTime = Best(3, [&] {
    FileSumsBuilder builder;
    for (size_t at = 0; at < size; at += kFileSumsChunkSize) {
      builder.Add(buffer.data() + at, size - at < kFileSumsChunkSize ? size - at : kFileSumsChunkSize);
    }
    return builder.Finish();
  }, inMemory);
  Print(("both sums, " + megs + " in memory").c_str(), size, memoryTime);

  const std::wstring path = speed::WriteTemporaryFile(L"orv_sums_speed.bin", buffer);
  if (path.empty()) return 1;
  bool read = true;
  FileSums fromFile{};
  const Timing fileTime = Best(3, [&] {
    FileSums sums{};
    Result<UniqueHandle> file = OpenHeldForCheck(path);
    read = read && file.ok();
    if (!file.ok()) return sums;
    HandleByteSource source(file->get());
    read = read && ComputeFileSums(source, sums);
    return sums;
  }, fromFile);
  DeleteFileW(path.c_str());
  Print(("the check, " + megs + " file").c_str(), size, fileTime);

  const bool agree = read && ours == portable && inMemory.sha256 == ours && fromFile.sha256 == ours &&
                     fromFile.crc32 == inMemory.crc32 && fromFile.size == size && inMemory.size == size;
  std::printf("%s\n", agree ? "all results agree" : "RESULTS DIFFER");
  return agree ? 0 : 1;
}
