// vfs_bench [WORKDIR] [--files N] : times adding files to VFS archives on disk.
//
// Two archives of the same shape (root directories of 10 directories of 100
// files of 200 bytes, 512-byte blocks): 1,000 files and N (100,000) files. Into each, as many new
// files as a tenth of it, ten per directory in directory order as a setup
// group lists them. The time per added file should not grow with the archive.
// Then a child process opens the large archive with the whole tree and
// flushes it, reporting time and peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_check.h"
#include "base/file_system.h"

namespace {

using namespace ferry;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPerDir = 100;
constexpr uint32_t kFileSize = 200;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time of this process (user + system), immune to a busy machine.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::vector<uint8_t> Content(uint32_t seed) {
  std::vector<uint8_t> out(kFileSize);
  uint32_t x = seed * 2654435761u + 7;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return out;
}

// Every directory holds what its counterpart in the other archive holds: a
// root directory has 10 subdirectories of 100 files, and the large archive has
// more root directories. Adding a file rewrites its directory's listing and,
// when that grows, the listing above it whole, so listings of equal size keep
// the comparison about the archive's size and not about its fan-out.
std::string Name(uint32_t dir, uint32_t file) {
  return "r" + std::to_string(dir / 10) + "\\s" + std::to_string(dir % 10) + "\\f" + std::to_string(file) + ".bin";
}

struct AddResult {
  double perFileUs;     // wall clock
  double perFileCpuUs;  // processor time
  double flushS;
};

// Builds an archive of `files` files, then times adding files/10 more.
AddResult Run(const std::string& path, uint32_t files, bool report) {
  uint32_t dirs = files / kPerDir;
  uint32_t added = files / 10;
  VfsCreateOptions o;
  o.BlockSize = 512;
  o.BlockCount = files + added + dirs * 40 + 100;
  o.RootCount = std::min<uint32_t>(256, dirs / 10 + 8);
  o.SideFile = true;
  CreateVfsArchive(DiskFileSystem(), path, o);
  auto start = Clock::now();
  {
    VfsFile f(DiskFileSystem());
    f.OpenArchive(path, false);
    for (uint32_t d = 0; d < dirs; ++d)
      for (uint32_t i = 0; i < kPerDir; ++i) {
        auto data = Content(d * kPerDir + i);
        f.Tree().UpdateFile(Name(d, i), data.data(), kFileSize);
      }
    f.FlushArchive();
    f.CloseArchive();
  }
  if (report) std::printf("  built %u files in %.1f s\n", files, Seconds(start));

  VfsFile f(DiskFileSystem());
  f.OpenArchive(path, false);
  auto addStart = Clock::now();
  double cpuStart = CpuSeconds();
  for (uint32_t d = 0; d < dirs; ++d)
    for (uint32_t i = 0; i < added / dirs; ++i) {
      auto data = Content(1000000 + d * kPerDir + i);
      f.Tree().UpdateFile(Name(d, kPerDir + i), data.data(), kFileSize);
    }
  double addS = Seconds(addStart);
  double addCpu = CpuSeconds() - cpuStart;
  auto flushStart = Clock::now();
  f.FlushArchive();
  double flushS = Seconds(flushStart);
  f.CloseArchive();
  return {addS * 1e6 / added, addCpu * 1e6 / added, flushS};
}

int FullTree(const std::string& path) {
  long before = PeakKb();
  double cpuStart = CpuSeconds();
  auto start = Clock::now();
  VfsFile f(DiskFileSystem());
  f.OpenArchive(path, true);
  double openS = Seconds(start);
  size_t files = f.Tree().FileCount();
  auto flushStart = Clock::now();
  f.FlushArchive();
  double flushS = Seconds(flushStart);
  f.CloseArchive();
  std::printf("FullTree open of %zu files: %.3f s, flush (digest of %.1f MB + side file rebuild): %.3f s\n", files,
              openS, std::filesystem::file_size(path) / 1e6, flushS);
  std::printf("FullTree processor time, open and flush: %.3f s\n", CpuSeconds() - cpuStart);
  std::printf("FullTree peak memory: %ld KB (process before open: %ld KB)\n", PeakKb(), before);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--fulltree") return FullTree(argv[2]);
  std::string work = "/tmp/vfs_bench";
  uint32_t large = 100000;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      large = static_cast<uint32_t>(std::stoul(argv[++i]));
    else
      work = a;
  }
  std::filesystem::create_directories(work);
  std::string small = work + "/small.vfs", big = work + "/large.vfs";

  AddResult s = Run(small, 1000, false);
  std::printf("add 100 files to 1,000:    %8.1f us per file, %6.1f us processor (flush %.3f s)\n", s.perFileUs,
              s.perFileCpuUs, s.flushS);
  AddResult b = Run(big, large, true);
  std::printf("add %u files to %u: %8.1f us per file, %6.1f us processor (flush %.3f s)\n", large / 10, large,
              b.perFileUs, b.perFileCpuUs, b.flushS);
  std::printf("ratio large/small: %.2f wall clock, %.2f processor (goal: at most 1.5)\n", b.perFileUs / s.perFileUs,
              b.perFileCpuUs / s.perFileCpuUs);

  auto report = CheckVfsArchive(DiskFileSystem(), big);
  std::printf("check of the large archive: %s (%u files)\n", report.Ok() ? "sound" : "DAMAGED", report.Files);

  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string cmd = "'" + self + "' --fulltree '" + big + "'";
  int rc = std::system(cmd.c_str());
  return (report.Ok() && rc == 0) ? 0 : 1;
}
