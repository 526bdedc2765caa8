// SHA-256 over 64 MiB in memory: ours as the run chooses it, the portable rounds and OpenSSL's,
// with the ratio ours/OpenSSL; then the installer check, both sums in one pass, over 256 MiB in
// memory and over a 256 MiB file (from the page cache), and the bare read loop at a few chunk
// sizes. Prints the usual table, then the best repetition of each (CPU time, and real time: the
// machine may be shared) and the ratio.
// Run: sha256_bench [benchmark flags]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "util/file_sums.h"
#include "util/sha256.h"
#include "util/sha256_kernels.h"

#include "random_bytes.h"

namespace {
using namespace orv;

constexpr size_t kShaSize = size_t{64} << 20;
constexpr size_t kSumsSize = size_t{256} << 20;

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> buffer = bench::RandomBytes(kSumsSize);
  return buffer;
}

std::filesystem::path FilePath() {
  return std::filesystem::temp_directory_path() / ("orv_sha256_bench_" + std::to_string(getpid()) + ".bin");
}

// Bytes each benchmark covers per iteration: 64 MiB for the SHA-256 ones, 256 MiB for the rest.
size_t BytesPerIteration(const std::string& name) { return name.rfind("BM_Sha256", 0) == 0 ? kShaSize : kSumsSize; }

Sha256Digest Ours(const uint8_t* data, size_t size) { return Sha256Of(data, size); }

Sha256Digest Portable(const uint8_t* data, size_t size) {
  Sha256 sha(orv::Sha256BlocksPortable);
  sha.Update(data, size);
  return sha.Finish();
}

Sha256Digest OpenSsl(const uint8_t* data, size_t size) {
  Sha256Digest digest{};
  unsigned length = 0;
  if (EVP_Digest(data, size, digest.data(), &length, EVP_sha256(), nullptr) != 1 || length != digest.size()) {
    digest.fill(0);
  }
  return digest;
}

template <Sha256Digest (*Hash)(const uint8_t*, size_t)>
void BM_Sha256(benchmark::State& state) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(Hash(buffer.data(), kShaSize));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kShaSize));
}

void BM_Sha256_Ours(benchmark::State& state) {
  state.SetLabel(orv::Sha256ShaniUsable() ? "SHA extensions" : "portable");
  BM_Sha256<Ours>(state);
}
void BM_Sha256_Portable(benchmark::State& state) { BM_Sha256<Portable>(state); }
void BM_Sha256_OpenSSL(benchmark::State& state) { BM_Sha256<OpenSsl>(state); }

// The file's bytes through read(2), as the check reads the installer through ReadFile.
class FdSource final : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  bool Read(void* buffer, size_t capacity, size_t& got) override {
    const ssize_t n = read(fd_, buffer, capacity);
    if (n < 0) return false;
    got = static_cast<size_t>(n);
    return true;
  }

 private:
  int fd_;
};

// Both sums over the buffer, fed in the check's chunks.
void BM_Sums_Memory(benchmark::State& state) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) {
    FileSumsBuilder builder;
    for (size_t at = 0; at < kSumsSize; at += kFileSumsChunkSize) builder.Add(buffer.data() + at, kFileSumsChunkSize);
    benchmark::DoNotOptimize(builder.Finish());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSumsSize));
}

// The check itself: ComputeFileSums over the file.
void BM_Sums_File(benchmark::State& state) {
  const std::string path = FilePath().string();
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY);
    FdSource source(fd);
    FileSums sums;
    if (fd < 0 || !ComputeFileSums(source, sums) || sums.size != kSumsSize) state.SkipWithError("cannot read the file");
    if (fd >= 0) close(fd);
    benchmark::DoNotOptimize(sums);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSumsSize));
}

// The read loop alone, chunk size in KiB as the argument.
void BM_Read_File(benchmark::State& state) {
  const std::string path = FilePath().string();
  const size_t chunk = static_cast<size_t>(state.range(0)) << 10;
  std::vector<uint8_t> buffer(chunk);
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY);
    size_t total = 0;
    for (ssize_t n = 0; fd >= 0 && (n = read(fd, buffer.data(), chunk)) > 0;) total += static_cast<size_t>(n);
    if (fd >= 0) close(fd);
    if (total != kSumsSize) state.SkipWithError("cannot read the file");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSumsSize));
}

BENCHMARK(BM_Sha256_Ours)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha256_Portable)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sha256_OpenSSL)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sums_Memory)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sums_File)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_File)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->Repetitions(3)->Unit(benchmark::kMillisecond);

// The console report, then the best repetition of each benchmark and the SHA-256 ratio.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.error_occurred) continue;
      const std::string name = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
      const double iterations = static_cast<double>(run.iterations);
      Best& best = best_[name];
      best.cpu = std::min(best.cpu, run.cpu_accumulated_time / iterations);
      best.real = std::min(best.real, run.real_accumulated_time / iterations);
    }
  }
  void PrintSummary() const {
    std::printf("\n%-28s %12s %10s %12s %10s\n", "best repetition", "ms (CPU)", "MB/s", "ms (real)", "MB/s");
    for (const auto& [name, best] : best_) {
      const double size = static_cast<double>(BytesPerIteration(name));
      std::printf("%-28s %12.1f %10.0f %12.1f %10.0f\n", name.c_str(), best.cpu * 1e3, size / best.cpu / 1e6,
                  best.real * 1e3, size / best.real / 1e6);
    }
    const auto ours = best_.find("BM_Sha256_Ours");
    const auto openssl = best_.find("BM_Sha256_OpenSSL");
    if (ours != best_.end() && openssl != best_.end()) {
      std::printf("\nSHA-256 ours (%s) / OpenSSL, 64 MiB: %.2f by CPU time, %.2f by real time\n",
                  orv::Sha256ShaniUsable() ? "SHA extensions" : "portable", openssl->second.cpu / ours->second.cpu,
                  openssl->second.real / ours->second.real);
    }
    const auto sums = best_.find("BM_Sums_File");
    if (sums != best_.end()) {
      std::printf("both sums over a 256 MiB file in one pass: %.3f s CPU, %.3f s real\n", sums->second.cpu,
                  sums->second.real);
    }
  }

 private:
  struct Best {
    double cpu = 1e30;
    double real = 1e30;
  };
  std::map<std::string, Best> best_;
};

// The methods must agree before their speeds mean anything; writes the file the file benchmarks read.
bool Prepare() {
  const std::vector<uint8_t>& buffer = Buffer();
  const Sha256Digest expected = OpenSsl(buffer.data(), kShaSize);
  bool ok = Ours(buffer.data(), kShaSize) == expected && Portable(buffer.data(), kShaSize) == expected;
  std::FILE* out = std::fopen(FilePath().string().c_str(), "wb");
  ok = out != nullptr && std::fwrite(buffer.data(), 1, kSumsSize, out) == kSumsSize && ok;
  ok = out != nullptr && std::fclose(out) == 0 && ok;
  FileSumsBuilder builder;
  builder.Add(buffer.data(), kSumsSize);
  const FileSums inMemory = builder.Finish();
  FileSums fromFile;
  const int fd = open(FilePath().string().c_str(), O_RDONLY);
  FdSource source(fd);
  ok = fd >= 0 && ComputeFileSums(source, fromFile) && ok;
  if (fd >= 0) close(fd);
  ok = ok && fromFile.crc32 == inMemory.crc32 && fromFile.sha256 == inMemory.sha256 && fromFile.size == kSumsSize;
  if (!ok) std::printf("the methods disagree with OpenSSL, or the file check differs from the buffer's sums\n");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const bool ok = Prepare();
  SummaryReporter reporter;
  if (ok) {
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
  }
  std::error_code ignored;
  std::filesystem::remove(FilePath(), ignored);
  benchmark::Shutdown();
  return ok ? 0 : 1;
}
