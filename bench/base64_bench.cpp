// Benchmarks of Base64Encode (dispatched and portable encoders) and of the package preparation
// pipeline. With the arguments --prepare FILE it instead prepares FILE once, timing each stage,
// for prepare_vs_base64.sh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <utility>

#include "text/base64.h"
#include "text/base64_internal.h"
#include "text/text.h"

namespace quorvel {
namespace {

ByteArray RandomBytes(std::size_t n) {
  ByteArray bytes(n);
  std::mt19937_64 random(n);
  for (std::size_t i = 0; i < n; i += 8) {
    const std::uint64_t word = random();
    std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, n - i));
  }
  return bytes;
}

using Encoder = Text (*)(ByteArray&);

Text EncodePortable(ByteArray& bytes) {
  return base64_internal::Base64EncodeWith(bytes, &base64_internal::EncodeGroupsPortable);
}

void BM_Base64Encode(benchmark::State& state, Encoder encode) {
  const auto n = static_cast<std::size_t>(state.range(0));
  ByteArray bytes = RandomBytes(n);
  bytes.reserve(n + 2);
  for (auto _ : state) {
    bytes.resize(n);  // undo the padding of the previous round
    const Text text = encode(bytes);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK_CAPTURE(BM_Base64Encode, dispatched, &Base64Encode)
    ->Arg(1 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Base64Encode, portable, &EncodePortable)
    ->Arg(1 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// What the application does with a chosen package: read it whole, encode it, release the
// file's bytes, then write every "+" as "%2B" within the Base64 text's own buffer.
Text PreparePackage(const Text& path) {
  Text base64;
  {
    ByteArray bytes = ReadFileBytes(path);
    base64 = Base64Encode(bytes);
  }
  return TextReplace(std::move(base64), "+", "%2B", 1, kNoLimit, true);
}

// A file of n random bytes in the temporary directory, one per size, removed at exit.
const Text& RandomPackage(std::size_t n) {
  struct TempFile {
    Text path;
    ~TempFile() { std::remove(path.c_str()); }
  };
  static std::map<std::size_t, TempFile> files;
  TempFile& file = files[n];
  if (file.path.empty()) {
    file.path = (std::filesystem::temp_directory_path() /
                 ("quorvel-bench-" + std::to_string(getpid()) + "-" + std::to_string(n)))
                    .string();
    const ByteArray bytes = RandomBytes(n);
    std::ofstream(file.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(n));
  }
  return file.path;
}

void BM_PreparePackage(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Text& path = RandomPackage(n);
  for (auto _ : state) {
    const Text text = PreparePackage(path);
    if (text.size() < n) state.SkipWithError("the package was not read");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_PreparePackage)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The stages on their own, to tell which one costs what.
void BM_ReadFileBytes(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Text& path = RandomPackage(n);
  for (auto _ : state) {
    const ByteArray bytes = ReadFileBytes(path);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ReadFileBytes)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplacePlus(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  ByteArray bytes = RandomBytes(n);
  const Text base64 = Base64Encode(bytes);
  for (auto _ : state) {
    const Text text = TextReplace(base64, "+", "%2B", 1, kNoLimit, true);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ReplacePlus)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same on a fresh Base64 text given up to TextReplace, as the pipeline does: the escaping
// runs within the text's spare capacity. Only the replacement is timed.
void BM_ReplacePlusInPlace(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  ByteArray bytes = RandomBytes(n);
  const ByteArray original = bytes;
  for (auto _ : state) {
    state.PauseTiming();
    bytes = original;
    Text base64 = Base64Encode(bytes);
    state.ResumeTiming();
    const Text text = TextReplace(std::move(base64), "+", "%2B", 1, kNoLimit, true);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ReplacePlusInPlace)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

double MillisecondsSince(std::chrono::steady_clock::time_point& since) {
  const auto now = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - since).count();
  since = now;
  return ms;
}

// PreparePackage of path once, stage by stage; prints the stage times and the throughput in
// GB/s of input. Fails when the file gives no bytes.
int PrepareOnce(const Text& path) {
  auto clock = std::chrono::steady_clock::now();
  const auto start = clock;
  ByteArray bytes = ReadFileBytes(path);
  const std::size_t n = bytes.size();
  const double read = MillisecondsSince(clock);
  Text base64 = Base64Encode(bytes);
  const double encode = MillisecondsSince(clock);
  ByteArray().swap(bytes);
  const double release = MillisecondsSince(clock);
  Text text = TextReplace(std::move(base64), "+", "%2B", 1, kNoLimit, true);
  const double replace = MillisecondsSince(clock);
  Text().swap(text);
  const double releaseTexts = MillisecondsSince(clock);
  const double total = std::chrono::duration<double, std::milli>(clock - start).count();
  if (n == 0) {
    std::fprintf(stderr, "%s gave no bytes\n", path.c_str());
    return 1;
  }
  std::printf(
      "read %.1f ms, encode %.1f ms, release bytes %.1f ms, replace %.1f ms, release texts "
      "%.1f ms; total %.1f ms for %zu bytes = %.2f GB/s\n",
      read, encode, release, replace, releaseTexts, total, n, n / total / 1e6);
  return 0;
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--prepare") == 0) return quorvel::PrepareOnce(argv[2]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
