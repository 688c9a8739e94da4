// Updating a package in place costs time in proportion to the entries it
// writes, not to the package's size. Measured on a 2 GiB package (a sparse
// file in the temporary folder, removed afterwards) and on a small one with
// the same directory, beside copying the big package once. Also the open of
// the big package after an interrupted update, and beside a stale side file.
//
// Output, one figure a line:  <name>  real <ms> ms  [details]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <unistd.h>
#include <string>
#include <vector>

#include "formats/package/package_format.h"
#include "formats/package/package_storage.h"
#include "base/file_system.h"
#include "formats/package/package_updater.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"

namespace {

namespace fs = std::filesystem;
using ferry::PackageEntry;

constexpr size_t kUpdated = 1000;      // entries the setup group brings
constexpr size_t kEntrySize = 16384;   // bytes of each
constexpr size_t kOtherEntries = 20000;  // the rest of the product's files
constexpr uint64_t kBigData = uint64_t{2} << 30;

// A setup group of kUpdated text-like files; `round` changes every file.
class GeneratedGroup : public ferry::SetupEntrySource {
 public:
  explicit GeneratedGroup(uint32_t round) : round_(round) {}
  std::vector<size_t> GroupEntries(uint16_t) override {
    std::vector<size_t> v(kUpdated);
    for (size_t i = 0; i < v.size(); ++i) v[i] = i;
    return v;
  }
  std::string EntryName(size_t i) override { return "data\\units\\unit" + std::to_string(i) + ".txt"; }
  uint32_t EntryOrigSize(size_t) override { return kEntrySize; }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t i) override {
    std::vector<uint8_t> d(kEntrySize);
    uint32_t x = static_cast<uint32_t>(i * 2654435761u) ^ (round_ * 40503u) ^ 0x9E3779B9u;
    for (auto& b : d) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = static_cast<uint8_t>("etaoin shrdlu,.\n"[x & 15]);
    }
    return d;
  }

 private:
  uint32_t round_;
};

// A package whose entry data fill `dataSize` bytes (a hole: never read), then
// its directory of kOtherEntries records and an "RKP3" trailer.
void MakePackage(const std::string& path, uint64_t dataSize) {
  std::vector<PackageEntry> entries;
  uint64_t each = dataSize / kOtherEntries;
  for (size_t i = 0; i < kOtherEntries; ++i) {
    PackageEntry e;
    e.Marker = ferry::kPackageEntryMarker;
    e.Kind = ferry::kZlibEntryKind;
    e.StoredSize = static_cast<uint32_t>(each);
    e.OrigSize = static_cast<uint32_t>(each * 2);
    e.DataOffset = static_cast<uint32_t>(i * each);
    e.Name = "data\\other\\file" + std::to_string(i) + ".bin";
    entries.push_back(e);
  }
  auto tail = ferry::BuildPackageTail(entries, {true, false, "bench"}, 0, 3, 3);
  auto f = ferry::OpenDiskFile(path, ferry::FileMode::kCreate);
  f->Truncate(dataSize);  // sparse
  f->WriteAt(dataSize, tail);
}

// Wall time; the CPU time of the same span goes to g_cpu_ms (a shared
// machine stretches the first, not the second).
double g_cpu_ms = 0;

double Millis(const std::function<void()>& work) {
  std::clock_t c0 = std::clock();
  auto t0 = std::chrono::steady_clock::now();
  work();
  g_cpu_ms = 1000.0 * double(std::clock() - c0) / CLOCKS_PER_SEC;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

ferry::PackageUpdateStats Update(const std::string& path, uint32_t round) {
  ferry::FileSystem& files = ferry::DiskFileSystem();
  ferry::PackageUpdaterHost host;
  host.Files = &files;
  ferry::PackageUpdater sys(host);
  GeneratedGroup group(round);
  fs::path p(path);
  sys.UpdatePackage(group, 1, p.parent_path().string(), p.filename().string(), "bench");
  return sys.Stats();
}

void Report(const std::string& name, double ms, const ferry::PackageUpdateStats& s, uint64_t size) {
  std::printf("%s  real %.1f ms  cpu %.1f ms  package %.1f MiB  written %zu  unchanged %zu  appended %.1f MiB\n",
              name.c_str(), ms, g_cpu_ms, size / 1048576.0, s.Written, s.Unchanged, s.BytesWritten / 1048576.0);
}

// Updates 1,000 entries with new data, then again with the same data.
void Measure(const std::string& label, const std::string& path) {
  Update(path, 1);  // the entries exist: the changed run replaces them
  ferry::PackageUpdateStats s;
  double changed = Millis([&] { s = Update(path, 2); });
  Report("update_1000_changed_" + label, changed, s, fs::file_size(path));
  double same = Millis([&] { s = Update(path, 2); });
  Report("update_1000_unchanged_" + label, same, s, fs::file_size(path));
}

// The open after an update was killed between the cut and the new tail: the
// side file is checked against the package (the window before the cut, the
// end of the file) and the old tail put back; then the open beside a side
// file that no longer fits (the package reads on its own). Neither reads the
// entry data.
void MeasureRecovery(const std::string& label, const std::string& path) {
  ferry::FileSystem& files = ferry::DiskFileSystem();
  auto open = [&] {
    ferry::PackageUpdaterHost host;
    host.Files = &files;
    ferry::PackageUpdater sys(host);
    sys.OpenPackage(path);
    return sys.Stats().Recovery;
  };
  ferry::PackageTailBackup backup;
  {
    auto f = ferry::OpenDiskFile(path, ferry::FileMode::kReadWrite);
    ferry::PackageTail tail = ferry::ReadPackageTail(*f);
    backup.OldLength = tail.FileSize;
    backup.CutPosition = tail.CutPosition;
    backup.Tail = f->ReadVector(tail.CutPosition, static_cast<size_t>(tail.FileSize - tail.CutPosition));
    if (!ferry::TakeCutWindow(*f, backup)) throw ferry::SetupError("cannot read the window");
    ferry::WriteTailBackup(files, path, backup);
    f->Truncate(backup.CutPosition);
    f->WriteAt(backup.CutPosition, std::vector<uint8_t>(1 << 20, 0x5A));  // entries already appended
  }
  ferry::TailRecovery r = ferry::TailRecovery::kNone;
  double restore = Millis([&] { r = open(); });
  if (r != ferry::TailRecovery::kRestored) throw ferry::SetupError("the interrupted update was not put back");
  std::printf("open_interrupted_%s  real %.1f ms  cpu %.1f ms  package %.1f MiB  put back\n", label.c_str(), restore,
              g_cpu_ms, fs::file_size(path) / 1048576.0);
  Update(path, 3);  // a later update: the package has moved on
  ferry::WriteTailBackup(files, path, backup);
  double stale = Millis([&] { r = open(); });
  if (r != ferry::TailRecovery::kStale) throw ferry::SetupError("a stale side file was not recognised");
  std::printf("open_beside_stale_side_file_%s  real %.1f ms  cpu %.1f ms  package %.1f MiB  left alone\n",
              label.c_str(), stale, g_cpu_ms, fs::file_size(path) / 1048576.0);
}

double CopyOnce(const std::string& from, const std::string& to) {
  return Millis([&] {
    auto in = ferry::OpenDiskFile(from, ferry::FileMode::kRead);
    auto out = ferry::OpenDiskFile(to, ferry::FileMode::kCreate);
    std::vector<uint8_t> buf(4 << 20);
    uint64_t size = in->Size();
    for (uint64_t off = 0; off < size; off += buf.size()) {
      size_t n = in->ReadAt(off, buf);
      out->WriteAt(off, std::span<const uint8_t>(buf).first(n));
    }
    out->Flush();
  });
}

}  // namespace

int main() {
  fs::path dir = fs::temp_directory_path() / ("ferry-rkp-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  int status = 0;
  try {
    std::string big = (dir / "big.rkp").string();
    std::string small = (dir / "small.rkp").string();
    MakePackage(big, kBigData);
    MakePackage(small, 16 << 20);
    Measure("2GiB", big);
    Measure("16MiB", small);
    MeasureRecovery("2GiB", big);
    double copy = CopyOnce(big, (dir / "copy.rkp").string());
    std::printf("copy_2GiB_once  real %.1f ms  cpu %.1f ms  package %.1f MiB\n", copy, g_cpu_ms,
                fs::file_size(big) / 1048576.0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_package_update: %s\n", e.what());
    status = 1;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
