// Start-up verification of a large entry: a setup whose one entry is 100 MiB
// stored raw, checked with VerifyEntry as the stub checks it. Besides the
// speed it reports verify_peak_MiB, the most resident memory the check added
// to the process: it should stay at the one verify buffer, far under 64 MiB,
// however large the entry is.
//
// The setup lives in $FERRY_BENCH_DIR or the temporary folder while it runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/pak/pak_file.h"
#include "base/random_access_file.h"

namespace fs = std::filesystem;
using ferry::TPak;

namespace {

constexpr uint32_t kEntrySize = 100u << 20;

// Resident and peak resident kilobytes from /proc/self/status (VmRSS, VmHWM).
long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key + ":", 0) == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  return -1;
}

// Sets the peak back to what is resident now, so the next peak is the check's.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

fs::path MakeSetup(const fs::path& root) {
  fs::create_directories(root);
  const fs::path source = root / "large.bin", setup = root / "setup.exe";
  {
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    std::mt19937_64 gen(42);
    std::vector<uint64_t> chunk(1u << 17);  // 1 MiB
    for (uint32_t done = 0; done < kEntrySize; done += 1u << 20) {
      for (auto& w : chunk) w = gen();
      out.write(reinterpret_cast<const char*>(chunk.data()), 1u << 20);
    }
  }
  TPak w(setup, true, false);
  w.StoreFile(w.AddEntry("large.bin", source.string(), 1));
  w.WriteDirectory();
  fs::remove(source);
  return setup;
}

void BM_VerifyLargeEntry(benchmark::State& state) {
  const char* dir = std::getenv("FERRY_BENCH_DIR");
  const fs::path root = fs::path(dir ? dir : fs::temp_directory_path().string()) / "ferry_bench_pak_verify";
  const fs::path setup = MakeSetup(root);
  TPak pak(setup, false, false);
  if (pak.EntryCount() != 1 || pak.Files()[0].Checksum == 0) {
    state.SkipWithError("the large entry carries no checksum");
    fs::remove_all(root);
    return;
  }
  long addedKb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const bool reset = ResetPeak();
    const long before = StatusKb("VmRSS");
    state.ResumeTiming();
    const bool sound = pak.VerifyEntry(0);
    state.PauseTiming();
    if (!reset || before < 0) {
      state.SkipWithError("the peak resident memory cannot be reset (/proc/self/clear_refs)");
      break;
    }
    addedKb = std::max(addedKb, StatusKb("VmHWM") - before);
    state.ResumeTiming();
    if (!sound) {
      state.SkipWithError(("the entry does not verify: " + pak.LastLoadError()).c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kEntrySize);
  state.counters["verify_peak_MiB"] = static_cast<double>(addedKb) / 1024.0;
  state.counters["process_peak_MiB"] = static_cast<double>(StatusKb("VmHWM")) / 1024.0;
  pak.Close();
  fs::remove_all(root);
}
BENCHMARK(BM_VerifyLargeEntry)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
