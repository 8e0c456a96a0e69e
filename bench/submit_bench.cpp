// Prepares and submits one large package through the real workflow and request object to the
// stand-in service on loopback, and reports the time and the peak memory of each step.
// Run through bench/submit_256mib.sh, which starts the service and names it in
// QUORVEL_BENCH_SERVICE_HOST; QUORVEL_BENCH_PACKAGE_MIB sets the size (default 256). Linux.
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"

namespace quorvel {
namespace {

// The window as the workflow needs it here: a dialog that confirms one path, edit boxes,
// message boxes that close at once.
class BenchWindow : public Window {
 public:
  explicit BenchWindow(Text path) : path_(std::move(path)) {}
  Text EditText(EditBox box) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_[static_cast<int>(box)];
  }
  void SetEditText(EditBox box, const Text& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_[static_cast<int>(box)] = text;
  }
  bool OpenFileDialog() override { return true; }
  Text DialogFileName() override { return path_; }
  void ShowMessageBox(const Text& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
  }
  bool SetClipboardText(const Text&) override { return true; }
  bool StartThread(std::function<void()>) override { return false; }

  std::vector<Text> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  Text path_;
  Text boxes_[3];
  std::vector<Text> messages_;
};

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
double StatusMiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atof(line.c_str() + field.size() + 1) / 1024;
  }
  return -1;
}

// Starts a new peak-RSS measurement (VmHWM) from the current RSS.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// Writes size bytes of pseudo-random data (every byte value, so the Base64 has "+" signs).
bool WritePackage(const std::string& path, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::vector<std::uint64_t> chunk(1 << 17);  // 1 MiB
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (std::size_t written = 0; written < size;) {
    for (std::uint64_t& word : chunk) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      word = state;
    }
    const std::size_t n = std::min(size - written, chunk.size() * sizeof(std::uint64_t));
    if (std::fwrite(chunk.data(), 1, n, file) != n) break;
    written += n;
  }
  return std::fclose(file) == 0;
}

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void BM_SelectAndSubmitPackage(benchmark::State& state) {
  const char* host = std::getenv("QUORVEL_BENCH_SERVICE_HOST");
  if (host == nullptr || *host == '\0') {
    state.SkipWithError("no service: run bench/submit_256mib.sh");
    return;
  }
  const char* mib = std::getenv("QUORVEL_BENCH_PACKAGE_MIB");
  const std::size_t packageBytes = (mib != nullptr ? std::atoll(mib) : 256) << 20;
  const std::string path = "/tmp/quorvel-bench-" + std::to_string(getpid()) + ".wxapkg";
  if (!WritePackage(path, packageBytes)) {
    state.SkipWithError("cannot write the package file");
    return;
  }
  BenchWindow window(path);
  AttachWindow(&window);
  SetServiceHostForTesting(host);
  const double baseline = StatusMiB("VmRSS");
  double selectSeconds = 0, submitSeconds = 0, selectPeak = 0, submitPeak = 0;

  for (auto _ : state) {
    ResetPeak();
    auto start = std::chrono::steady_clock::now();
    SelectPackage();
    selectSeconds = Seconds(start);
    selectPeak = StatusMiB("VmHWM");

    ResetPeak();
    start = std::chrono::steady_clock::now();
    SubmitPackage();
    submitSeconds = Seconds(start);
    submitPeak = StatusMiB("VmHWM");
  }

  const double encodedMiB = static_cast<double>(CopyEncodedPackage().size()) / (1 << 20);
  std::remove(path.c_str());
  ReleasePackage();
  AttachWindow(nullptr);
  const std::vector<Text> messages = window.Messages();
  if (messages.size() != 1 || messages[0] != kSubmitSucceededMessage) {
    state.SkipWithError("the service did not accept the package");
    return;
  }
  state.counters["package_MiB"] = static_cast<double>(packageBytes >> 20);
  state.counters["encoded_MiB"] = encodedMiB;
  state.counters["baseline_MiB"] = baseline;
  state.counters["select_s"] = selectSeconds;
  state.counters["select_peak_MiB"] = selectPeak;
  state.counters["submit_s"] = submitSeconds;
  state.counters["submit_peak_MiB"] = submitPeak;
  // Peak above the baseline in units of the upload text; the goal is at most 3.
  state.counters["peak_per_encoded"] = (std::max(selectPeak, submitPeak) - baseline) / encodedMiB;
}
BENCHMARK(BM_SelectAndSubmitPackage)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace quorvel

BENCHMARK_MAIN();
