// CRC-32 throughput over 256 MiB in memory (ours, the plain table method, zlib) with ratios to
// zlib, then the peak memory of FileCrc32 over a 1 GiB file.
// Run: crc32_bench [--file-only] [benchmark flags]   (--file-only: just the file measurement)
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "util/crc32.h"
#include "util/crc32_kernels.h"
#include "util/file_sums.h"

#include "random_bytes.h"

namespace {
using namespace orv;

constexpr size_t kBufferSize = size_t{256} << 20;
constexpr size_t kFileSize = size_t{1} << 30;

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> buffer = bench::RandomBytes(kBufferSize);
  return buffer;
}

template <typename Crc>
void Run(benchmark::State& state, Crc crc) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(crc(buffer.data(), buffer.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(buffer.size()));
}

void BM_Ours(benchmark::State& state) {
  state.SetLabel(Crc32ClmulUsable() ? "clmul folding" : "slicing-by-8");
  Run(state, [](const uint8_t* d, size_t n) { return Crc32(d, n); });
}
void BM_SlicingBy8(benchmark::State& state) {
  Run(state, [](const uint8_t* d, size_t n) { return ~Crc32SlicingRaw(0xFFFFFFFFu, d, n); });
}
void BM_Bytewise(benchmark::State& state) {
  Run(state, [](const uint8_t* d, size_t n) { return ~Crc32BytewiseRaw(0xFFFFFFFFu, d, n); });
}
void BM_Zlib(benchmark::State& state) {
  Run(state, [](const uint8_t* d, size_t n) { return static_cast<uint32_t>(crc32_z(0, d, n)); });
}
BENCHMARK(BM_Ours)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlicingBy8)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bytewise)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib)->UseRealTime()->Unit(benchmark::kMillisecond);

// The console report, then each method's GB/s (10^9 bytes per second) and its ratio to zlib.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.real_accumulated_time <= 0) continue;
      Total& total = totals_[run.benchmark_name()];
      total.bytes += static_cast<double>(run.iterations) * static_cast<double>(kBufferSize);
      total.seconds += run.real_accumulated_time;
    }
  }
  // Over all repetitions of each method.
  void PrintRatios() const {
    const auto zlib = totals_.find("BM_Zlib/real_time");
    if (totals_.empty()) {
      std::printf("\nno individual runs reported: ratios need them (drop --benchmark_report_aggregates_only)\n");
      return;
    }
    std::printf("\n%-28s %10s %12s\n", "method (256 MiB in memory)", "GB/s", "ratio/zlib");
    for (const auto& [name, total] : totals_) {
      const double ratio = zlib != totals_.end() ? total.Rate() / zlib->second.Rate() : 0.0;
      std::printf("%-28s %10.2f %12.2f\n", name.c_str(), total.Rate(), ratio);
    }
  }

 private:
  struct Total {
    double bytes = 0;
    double seconds = 0;
    double Rate() const { return bytes / seconds / 1e9; }
  };
  std::map<std::string, Total> totals_;
};

// A field of /proc/self/status ("VmRSS", "VmHWM") in MiB; -1 when it cannot be read.
double StatusMiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) / 1024.0;
  }
  return -1;
}

// Starts a new peak: the kernel sets the peak resident memory back to the current value.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double MaxRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Writes a 1 GiB file of pseudo-random bytes, checksums it with FileCrc32 and reports the
// resident memory before the call and its peak during it. Returns false when the CRC is wrong.
bool MeasureFile() {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "orv_crc32_bench_1GiB.bin";
  uint32_t expected = 0;
  {
    std::vector<uint8_t> block(size_t{1} << 20);
    std::mt19937 random(5);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (size_t written = 0; written < kFileSize; written += block.size()) {
      for (size_t i = 0; i < block.size(); i += 4096) block[i] = static_cast<uint8_t>(random());
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
      expected = Crc32Update(expected, block.data(), block.size());
    }
    if (!out.good()) {
      std::printf("could not write %s\n", path.string().c_str());
      return false;
    }
  }
  ResetPeak();
  const double before = StatusMiB("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  const uint32_t crc = FileCrc32(path.wstring());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double peak = StatusMiB("VmHWM");
  std::filesystem::remove(path);
  std::printf("FileCrc32 over 1 GiB file: %.2f GB/s (from the page cache), crc %08x %s\n",
              static_cast<double>(kFileSize) / seconds / 1e9, crc, crc == expected ? "(correct)" : "(WRONG)");
  std::printf("resident memory: %.1f MiB before the call, peak %.1f MiB during it (+%.1f MiB); "
              "process peak so far %.1f MiB\n", before, peak, peak - before, MaxRssMiB());
  return crc == expected;
}

}  // namespace

int main(int argc, char** argv) {
  bool fileOnly = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--file-only") == 0) {
      fileOnly = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  const bool fileOk = MeasureFile();
  if (fileOnly) return fileOk ? 0 : 1;

  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return fileOk ? 0 : 1;
}
