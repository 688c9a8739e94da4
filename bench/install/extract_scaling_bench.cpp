// The portable half of an install run, at growing numbers of small files:
// start-up's check of every entry, and extraction of one payload group to
// disk with the file command's bookkeeping (install log, folders, gauge). The
// time per file should not grow with the file count; each benchmark reports
// it as "per_file".
//
// Payload: 1-3 KiB files, 100 per folder, as a product lays them out. The
// archive is built in memory once per size; extraction writes below
// $FERRY_BENCH_DIR or the temporary folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "formats/install_log/uninstall_list.h"
#include "base/random_access_file.h"

namespace fs = std::filesystem;

namespace ferry {
namespace {

constexpr int kFilesPerFolder = 100;

std::string EntryName(int64_t i) {
  char name[64];
  std::snprintf(name, sizeof name, "d%04lld\\f%06lld.dat", static_cast<long long>(i / kFilesPerFolder),
                static_cast<long long>(i));
  return name;
}

// A host of 64 KiB and `count` payload entries in group 1, three quarters of
// each file text that compresses, the rest noise.
const std::vector<uint8_t>& SetupBytes(int64_t count) {
  static std::map<int64_t, std::vector<uint8_t>> cache;
  auto it = cache.find(count);
  if (it != cache.end()) return it->second;
  auto file = std::make_unique<MemoryFile>(std::vector<uint8_t>(64 * 1024, 0x90));
  MemoryFile* raw = file.get();
  {
    PakWriter w = PakWriter::Append(*raw);
    std::mt19937 gen(static_cast<uint32_t>(count));
    std::string text;
    while (text.size() < 4096) text += "setup payload line " + std::to_string(gen() % 1000) + "\r\n";
    for (int64_t i = 0; i < count; ++i) {
      size_t size = 1024 + gen() % 2049;
      std::vector<uint8_t> data(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size * 3 / 4));
      while (data.size() < size) data.push_back(static_cast<uint8_t>(gen()));
      w.StoreBuffer(w.AddEntry(EntryName(i), "", 1), data);
    }
    w.WriteDirectory();
  }
  return cache.emplace(count, std::move(raw->Data())).first->second;
}

fs::path OutputRoot() {
  const char* env = std::getenv("FERRY_BENCH_DIR");
  return (env ? fs::path(env) : fs::temp_directory_path()) / "ferry_bench_extract";
}

void PerFile(benchmark::State& state) {
  state.counters["per_file"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// What the file command hangs on extraction: every file and created folder
// into the install log, a status text and a gauge step per file.
ExtractEvents Bookkeeping(UninstallList& log, std::string& status, int64_t& steps) {
  ExtractEvents events;
  events.EntryStarted = [&status](const std::string& name) { status = "Extracting " + name; };
  events.EntryDone = [&steps] { ++steps; };
  events.FileWritten = [&log](const std::string& path) { log.AddFile(path); };
  events.DirectoryCreated = [&log](const std::string& dir) { log.AddDirectory(dir); };
  events.FileNotWritten = [](const std::string&, const std::string&) {};
  return events;
}

// Start-up's verification loop: every entry read, checksummed and inflated.
void BM_VerifyAll(benchmark::State& state) {
  MemoryFile file(SetupBytes(state.range(0)));
  PakReader pak(file);
  for (auto _ : state) {
    for (size_t i = 0; i < pak.EntryCount(); ++i)
      if (!pak.VerifyEntry(i)) state.SkipWithError("an entry failed verification");
  }
  PerFile(state);
}

// One "file" line: the group written below a fresh folder.
void BM_ExtractGroup(benchmark::State& state) {
  MemoryFile file(SetupBytes(state.range(0)));
  PakReader pak(file);
  fs::path out = OutputRoot() / std::to_string(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    UninstallList log;
    std::string status;
    int64_t steps = 0;
    GroupExtractor extractor(pak, ferry::DiskFileSystem(), Bookkeeping(log, status, steps));
    state.ResumeTiming();
    if (!extractor.Extract(out.string(), 1)) state.SkipWithError("extraction failed");
    if (steps != state.range(0) || static_cast<int64_t>(log.Files().size()) != state.range(0))
      state.SkipWithError("not every file was stepped and logged");
  }
  fs::remove_all(out);
  PerFile(state);
}

}  // namespace
}  // namespace ferry

BENCHMARK(ferry::BM_VerifyAll)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(ferry::BM_ExtractGroup)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
