// Recording files in the install log: the cost of one AddFile (path folding,
// duplicate check, append) should not depend on how many files the log
// already holds. Run at 1,000 and at 100,000 files, side by side.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "formats/install_log/uninstall_list.h"
#include "engine/path_vars.h"

namespace ferry {
namespace {

const std::string kInstallDir = "C:\\Games\\Demo Product";
const PathFolders kFolders{"C:\\Users\\player\\Start Menu\\Programs\\", "C:\\Program Files\\", "D:\\"};

std::vector<std::string> Paths(size_t n) {
  std::vector<std::string> paths;
  paths.reserve(n);
  for (size_t i = 0; i < n; ++i)
    paths.push_back(kInstallDir + "\\data\\pack" + std::to_string(i % 97) + "\\file_" + std::to_string(i) + ".dat");
  return paths;
}

void UseFolding(UninstallList& log) {
  log.SetPathFolder([](std::string_view p) { return FoldPathVars(p, kInstallDir, kFolders); });
}

// Time per AddFile while recording n new files into an empty log.
void BM_AddFile(benchmark::State& state) {
  const std::vector<std::string> paths = Paths(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    UninstallList log;
    UseFolding(log);
    for (const std::string& p : paths) log.AddFile(p);
    benchmark::DoNotOptimize(log.Files().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  // Seconds per AddFile (shown with an SI prefix: 150n is 150 ns).
  state.counters["per_AddFile"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddFile)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One AddFile of an already recorded path (in other letter case) into a log
// holding n files: the duplicate check alone.
void BM_AddFileDuplicate(benchmark::State& state) {
  const std::vector<std::string> paths = Paths(static_cast<size_t>(state.range(0)));
  UninstallList log;
  UseFolding(log);
  for (const std::string& p : paths) log.AddFile(p);
  std::string again = paths[paths.size() / 2];
  for (char& c : again)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (auto _ : state) benchmark::DoNotOptimize(log.AddFile(again));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddFileDuplicate)->Arg(1000)->Arg(100000);

}  // namespace
}  // namespace ferry
