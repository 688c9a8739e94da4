// Start-up verification of a large entry: a setup whose one entry is 100 MiB
// stored raw, checked with VerifyEntry as the stub checks it. Besides the
// speed it reports verify_peak_MiB, the most resident memory the check added
// to the process: it should stay at the one verify buffer, far under 64 MiB,
// however large the entry is.
//
// BM_CompressedEntry does the same for a 64 MiB entry just below the large
// threshold, compressed (argument 0: zlib, 1: zstd at level 19): its
// verification and its extraction to a file, each reporting the memory it
// added (verify_peak_MiB, extract_peak_MiB). Both stream through a few MiB
// of buffers (and zstd's window), whatever the entry's size.
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

#include "base/file_system.h"
#include "formats/pak/pak_codec.h"
#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/random_access_file.h"

namespace fs = std::filesystem;
using ferry::PakReader;
using ferry::PakWriter;

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
  PakWriter w = PakWriter::Create(setup);
  w.StoreFile(w.AddEntry("large.bin", source.string(), 1));
  w.WriteDirectory();
  fs::remove(source);
  return setup;
}

void BM_VerifyLargeEntry(benchmark::State& state) {
  const char* dir = std::getenv("FERRY_BENCH_DIR");
  const fs::path root = fs::path(dir ? dir : fs::temp_directory_path().string()) / "ferry_bench_pak_verify";
  const fs::path setup = MakeSetup(root);
  PakReader pak(setup);
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

constexpr uint32_t kCompressedSize = 64u << 20;

// Text-like data that packs about as well as a program's files do.
fs::path MakeCompressedSetup(const fs::path& root, bool zstd) {
  fs::create_directories(root);
  std::vector<uint8_t> data(kCompressedSize);
  std::mt19937 gen(7);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 64 < 48 ? 'a' + gen() % 16 : gen());
  const fs::path setup = root / (zstd ? "zstd.exe" : "zlib.exe");
  PakWriter w = PakWriter::Create(setup);
  if (zstd) w.SetCompressor([](std::span<const uint8_t> d) { return ferry::ZstdPack(d, ferry::kZstdMaxLevel); });
  w.StoreBuffer(w.AddEntry("big.dat", "", 1), data);
  w.WriteDirectory();
  return setup;
}

// Runs `work` and returns the resident memory it added at its peak, in KiB; -1
// when the peak cannot be reset.
template <typename Work>
long PeakAddedKb(Work work) {
  if (!ResetPeak()) return -1;
  const long before = StatusKb("VmRSS");
  work();
  return StatusKb("VmHWM") - before;
}

void BM_CompressedEntry(benchmark::State& state) {
  const bool zstd = state.range(0) == 1;
  const char* dir = std::getenv("FERRY_BENCH_DIR");
  const fs::path root = fs::path(dir ? dir : fs::temp_directory_path().string()) / "ferry_bench_pak_compressed";
  const fs::path setup = MakeCompressedSetup(root, zstd);
  PakReader pak(setup);
  if (pak.EntryCount() != 1 || pak.Files()[0].CompSize == 0) {
    state.SkipWithError("the entry was not compressed");
    fs::remove_all(root);
    return;
  }
  long verifyKb = 0, extractKb = 0;
  bool sound = true;
  // Each on an archive opened afresh, so each peak holds its own buffers.
  for (auto _ : state) {
    verifyKb = std::max(verifyKb, PeakAddedKb([&] {
      PakReader fresh(setup);
      sound = sound && fresh.VerifyEntry(0);
    }));
    extractKb = std::max(extractKb, PeakAddedKb([&] {
      PakReader fresh(setup);
      sound = sound && ferry::GroupExtractor(fresh, ferry::DiskFileSystem(), {}).Extract((root / "out").string(), 1);
    }));
  }
  if (!sound) state.SkipWithError("the entry does not unpack");
  if (verifyKb < 0 || extractKb < 0) state.SkipWithError("the peak resident memory cannot be reset");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * kCompressedSize);
  state.counters["stored_MiB"] = pak.Files()[0].CompSize / 1048576.0;
  state.counters["verify_peak_MiB"] = static_cast<double>(verifyKb) / 1024.0;
  state.counters["extract_peak_MiB"] = static_cast<double>(extractKb) / 1024.0;
  pak.Close();
  fs::remove_all(root);
}
BENCHMARK(BM_CompressedEntry)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
