// Throughput of the text primitives on the package preparation path: TextReplace of "+" by
// "%2B" over Base64-like text, TextFind and TextSplit over long texts, ReadFileBytes of a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "text/text.h"

namespace quorvel {
namespace {

// Base64 alphabet text of the given size with "+" once per 64 bytes on average, as the
// encoding of random bytes has it.
Text Base64Like(std::size_t size) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 engine(7);
  Text text(size, 'A');
  for (char& c : text)
    c = kAlphabet[engine() & 63];
  return text;
}

// Mostly GBK two-byte characters, so that block skipping rarely applies.
Text GbkLike(std::size_t size) {
  std::mt19937 engine(11);
  Text text(size, 'A');
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text[i] = static_cast<char>(0xB0 + engine() % 0x40);
    text[i + 1] = static_cast<char>(0xA1 + engine() % 0x5E);
  }
  return text;
}

void BM_TextReplacePlus(benchmark::State& state) {
  const Text text = Base64Like(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text replaced = TextReplace(text, "+", "%2B", 1, kNoLimit, true);
    benchmark::DoNotOptimize(replaced.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextReplacePlus)->Arg(1 << 20)->Arg(341 << 20)->Unit(benchmark::kMillisecond);

// The same on a text given up to TextReplace with a sixteenth of spare capacity, as Base64Encode
// leaves it: the text is rewritten in place. Only the replacement is timed; each round starts
// from a fresh copy whose spare capacity has never been touched.
void BM_TextReplacePlusInPlace(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Text text = Base64Like(size);
  for (auto _ : state) {
    state.PauseTiming();
    Text copy;
    copy.reserve(size + size / 16);
    copy += text;
    state.ResumeTiming();
    Text replaced = TextReplace(std::move(copy), "+", "%2B", 1, kNoLimit, true);
    benchmark::DoNotOptimize(replaced.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextReplacePlusInPlace)->Arg(1 << 20)->Arg(341 << 20)->Unit(benchmark::kMillisecond);

// The floor for any copying pass: a plain copy of the same number of bytes into a new text.
void BM_CopyBaseline(benchmark::State& state) {
  const Text text = Base64Like(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text copy = text;
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CopyBaseline)->Arg(1 << 20)->Arg(341 << 20)->Unit(benchmark::kMillisecond);

void BM_TextReplaceShorter(benchmark::State& state) {
  const Text text = Base64Like(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text replaced = TextReplace(text, "+", "-", 1, kNoLimit, true);
    benchmark::DoNotOptimize(replaced.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextReplaceShorter)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_TextReplaceGbk(benchmark::State& state) {
  const Text text = GbkLike(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text replaced = TextReplace(text, "+", "%2B", 1, kNoLimit, true);
    benchmark::DoNotOptimize(replaced.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextReplaceGbk)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

void BM_TextFindAbsent(benchmark::State& state) {
  const Text text = Base64Like(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(TextFind(text, "\"", 1, false));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextFindAbsent)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

void BM_TextSplitLines(benchmark::State& state) {
  Text text = Base64Like(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 80; i + 1 < text.size(); i += 82)
    text.replace(i, 2, "\r\n");
  for (auto _ : state)
    benchmark::DoNotOptimize(TextSplit(text, "\r\n").Count());
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextSplitLines)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

void BM_ReadFileBytes(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "quorvel-text-bench.bin";
  {
    const Text bytes = Base64Like(static_cast<std::size_t>(state.range(0)));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  for (auto _ : state) {
    ByteArray bytes = ReadFileBytes(path.string());
    if (bytes.size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("short");
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFileBytes)->Arg(256 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel

BENCHMARK_MAIN();
