// Setup archive throughput on a setup of 256 MiB of mixed files (text-like,
// structured binary, noise), side by side with Info-ZIP's zip/unzip on the
// same files at the same level 9.
//
// Files live in $FERRY_BENCH_DIR or the temporary folder, made on first use.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/random_access_file.h"

namespace fs = std::filesystem;
using ferry::PakReader;
using ferry::PakWriter;

namespace {

struct Corpus {
  fs::path root;
  fs::path sources;  // the loose files
  fs::path setup;    // host + archive written by PakReader
  fs::path zip;      // the same files, zip -9
  std::vector<std::string> names;  // archive names, backslash-separated
  uint64_t totalBytes = 0;
};

std::vector<uint8_t> MakeFile(size_t size, int kind, std::mt19937_64& gen) {
  std::vector<uint8_t> v;
  v.reserve(size);
  if (kind == 0) {  // text: lines of words from a small vocabulary
    static const std::vector<std::string> words = [] {
      std::mt19937 g(1);
      std::vector<std::string> w;
      for (int i = 0; i < 600; ++i) {
        std::string s;
        for (int n = 3 + g() % 8; n > 0; --n) s += static_cast<char>('a' + g() % 26);
        w.push_back(s);
      }
      return w;
    }();
    while (v.size() < size) {
      const std::string& w = words[gen() % words.size()];
      v.insert(v.end(), w.begin(), w.end());
      v.push_back(gen() % 12 == 0 ? '\n' : ' ');
    }
  } else if (kind == 1) {  // records: mostly repeated fields, some varying numbers
    while (v.size() < size) {
      uint32_t id = static_cast<uint32_t>(v.size() / 32);
      uint32_t value = static_cast<uint32_t>(gen() % 1000);
      const uint8_t rec[32] = {'R', 'E', 'C', 0, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
                               static_cast<uint8_t>(id >> 16), 0, static_cast<uint8_t>(value),
                               static_cast<uint8_t>(value >> 8), 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0, 0};
      v.insert(v.end(), rec, rec + 32);
    }
  } else {  // noise: already-compressed media
    while (v.size() < size) {
      uint64_t x = gen();
      for (int k = 0; k < 8; ++k) v.push_back(static_cast<uint8_t>(x >> (8 * k)));
    }
  }
  v.resize(size);
  return v;
}

// 224 files, 1 KiB to 8 MiB, a third of each kind: 256 MiB in all.
const Corpus& GetCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    const char* env = std::getenv("FERRY_BENCH_DIR");
    c.root = (env ? fs::path(env) : fs::temp_directory_path()) / "ferry_bench_pak";
    c.sources = c.root / "files";
    c.setup = c.root / "setup.exe";
    c.zip = c.root / "setup.zip";
    std::mt19937_64 gen(2026);
    for (int i = 0; i < 224; ++i) {
      size_t size = size_t{1024} << (i % 14);
      int kind = (i / 14 + i) % 3;
      std::string dir = "set" + std::to_string(i % 7);
      std::string file = "file" + std::to_string(i) + (kind == 0 ? ".txt" : kind == 1 ? ".dat" : ".bin");
      c.names.push_back(dir + "\\" + file);
      c.totalBytes += size;
      fs::create_directories(c.sources / dir);
      auto path = c.sources / dir / file;
      if (!fs::exists(path) || fs::file_size(path) != size) ferry::WriteFileBytes(path, MakeFile(size, kind, gen));
    }
    return c;
  }();
  return corpus;
}

void WriteSetup(const Corpus& c) {
  ferry::WriteFileBytes(c.setup, std::vector<uint8_t>(250'000, 0x90));  // a host program's size
  PakWriter w = PakWriter::Append(c.setup);
  for (const std::string& name : c.names) {
    std::string native = name;
    native[native.find('\\')] = '/';
    w.StoreFile(w.AddEntry(name, (c.sources / native).string(), 1));
  }
  w.WriteDirectory();
  w.Close();
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

void ZipSetup(const Corpus& c) {
  fs::remove(c.zip);
  Run("cd '" + c.sources.string() + "' && zip -9 -q -r '" + c.zip.string() + "' .");
}

void EnsureArchives() {
  const Corpus& c = GetCorpus();
  if (!fs::exists(c.setup)) WriteSetup(c);
  if (!fs::exists(c.zip)) ZipSetup(c);
}

void SetBytes(benchmark::State& state, uint64_t perIteration) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * perIteration));
}

void WriteSetupLevel9(benchmark::State& state) {
  const Corpus& c = GetCorpus();
  for (auto _ : state) WriteSetup(c);
  SetBytes(state, c.totalBytes);
  state.counters["stored_MiB"] = static_cast<double>(fs::file_size(c.setup)) / (1 << 20);
  state.SetLabel("vs ZipLevel9");
}

void ZipLevel9(benchmark::State& state) {
  const Corpus& c = GetCorpus();
  for (auto _ : state) ZipSetup(c);
  SetBytes(state, c.totalBytes);
  state.counters["stored_MiB"] = static_cast<double>(fs::file_size(c.zip)) / (1 << 20);
}

// Every entry loaded into memory: read, checksum, inflate.
void LoadEntryAll(benchmark::State& state) {
  EnsureArchives();
  const Corpus& c = GetCorpus();
  PakReader pak(c.setup);
  if (pak.EntryCount() != c.names.size()) state.SkipWithError("setup has the wrong entry count");
  for (auto _ : state) {
    for (size_t i = 0; i < pak.EntryCount(); ++i) {
      auto data = pak.LoadEntry(i);
      if (!data) state.SkipWithError("entry failed to load");
      benchmark::DoNotOptimize(data);
    }
  }
  SetBytes(state, c.totalBytes);
  state.SetLabel("vs UnzipTest");
}

// unzip's nearest equivalent: inflate and check every CRC, write nothing.
void UnzipTest(benchmark::State& state) {
  EnsureArchives();
  const Corpus& c = GetCorpus();
  for (auto _ : state) Run("unzip -tqq '" + c.zip.string() + "' >/dev/null");
  SetBytes(state, c.totalBytes);
}

void ExtractGroup(benchmark::State& state) {
  EnsureArchives();
  const Corpus& c = GetCorpus();
  PakReader pak(c.setup);
  fs::path out = c.root / "out_ferry";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    if (!ferry::GroupExtractor(pak, ferry::DiskFileSystem(), {}).Extract(out.string(), 1)) state.SkipWithError("extraction failed");
  }
  SetBytes(state, c.totalBytes);
  state.SetLabel("vs UnzipExtract");
}

void UnzipExtract(benchmark::State& state) {
  EnsureArchives();
  const Corpus& c = GetCorpus();
  fs::path out = c.root / "out_unzip";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    Run("unzip -qq -o '" + c.zip.string() + "' -d '" + out.string() + "'");
  }
  SetBytes(state, c.totalBytes);
}

}  // namespace

BENCHMARK(WriteSetupLevel9)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(ZipLevel9)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(LoadEntryAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(UnzipTest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ExtractGroup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(UnzipExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
