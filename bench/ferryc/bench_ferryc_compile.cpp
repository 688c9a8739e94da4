// ferryc compile against zip -9 -r on the same folder of mixed files.
//
// The folder (FERRY_BENCH_MIB MiB, default 300) is made once below the
// build folder: text that compresses well, random bytes that do not, long
// runs of zeros, many small files and one file above the 70 MiB threshold
// that is stored as it is. Each tool runs as its own process; its wall time
// and peak resident memory (from the kernel's accounting of the child) are
// printed one line each:
//   ferryc/compile  real S s  peak M MiB  in I MiB  out O MiB
//   ferryc/zip-9    real S s  peak M MiB  in I MiB  out O MiB
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Chart-like text: numbers and words, compresses about 3:1.
std::string Text(std::mt19937_64& rng, size_t bytes) {
  static const char* words[] = {"harbour", "buoy", "depth", "tide", "north", "channel", "light", "reef",
                                "anchorage", "bearing", "sounding", "chart"};
  std::string s;
  s.reserve(bytes + 64);
  while (s.size() < bytes) {
    s += words[rng() % 12];
    s += ' ';
    s += std::to_string(rng() % 100000);
    s += (rng() % 8 == 0) ? "\r\n" : " ";
  }
  s.resize(bytes);
  return s;
}

std::string Random(std::mt19937_64& rng, size_t bytes) {
  std::string s(bytes, '\0');
  for (size_t i = 0; i + 8 <= bytes; i += 8) {
    uint64_t v = rng();
    for (int k = 0; k < 8; ++k) s[i + k] = static_cast<char>(v >> (8 * k));
  }
  return s;
}

uint64_t FolderBytes(const fs::path& dir) {
  uint64_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) total += e.file_size();
  return total;
}

void MakeData(const fs::path& dir, uint64_t mib) {
  fs::path done = dir / ".complete";
  if (fs::exists(done)) return;
  fs::remove_all(dir);
  std::mt19937_64 rng(20261207);
  uint64_t target = mib << 20;
  // One large file (stored, streamed), then a mix until the target.
  WriteFile(dir / "payload" / "video" / "intro.bik", Random(rng, 72u << 20));
  uint64_t total = 72u << 20;
  for (int i = 0; total < target; ++i) {
    std::string data;
    fs::path p;
    switch (i % 4) {
      case 0: p = dir / "payload" / "maps" / ("chart" + std::to_string(i) + ".map"); data = Text(rng, 4u << 20); break;
      case 1: p = dir / "payload" / "textures" / ("tex" + std::to_string(i) + ".dds"); data = Random(rng, 3u << 20); break;
      case 2: p = dir / "payload" / "levels" / ("level" + std::to_string(i) + ".dat"); data = std::string(2u << 20, '\0'); break;
      default:
        for (int k = 0; k < 64; ++k)
          WriteFile(dir / "payload" / "config" / std::to_string(i) / ("item" + std::to_string(k) + ".ini"),
                    Text(rng, 2048 + rng() % 8192));
        total += 64 * 6000;
        continue;
    }
    WriteFile(p, data);
    total += data.size();
  }
  WriteFile(dir / "bench.fss", "outfile bench.exe\r\ninstalldir C:\\Bench\\\r\nfile payload\\\r\n");
  WriteFile(dir / "stub.exe", "MZ" + std::string(250000, '\0'));
  WriteFile(done, "");
}

struct Run {
  double seconds = 0;
  double peakMiB = 0;
  int status = -1;
};

Run Measure(const std::vector<std::string>& argv, const fs::path& cwd) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    int null = open("/dev/null", 1);
    if (null >= 0) dup2(null, 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace

int main() {
  uint64_t mib = 300;
  if (const char* env = std::getenv("FERRY_BENCH_MIB")) mib = std::strtoull(env, nullptr, 10);
  // Beside the benchmark program, inside the build folder.
  fs::path dir = fs::read_symlink("/proc/self/exe").parent_path() / "ferryc-bench-data";
  MakeData(dir, mib);
  double in = static_cast<double>(FolderBytes(dir / "payload")) / (1 << 20);

  fs::remove(dir / "bench.exe");
  Run c = Measure({FERRYC_PATH, "compile", "bench.fss", "--stub", "stub.exe", "-o", "bench.exe", "-q"}, dir);
  if (c.status != 0) {
    std::printf("compile  FAILED (status %d)\n", c.status);
    return 1;
  }
  double out = static_cast<double>(fs::file_size(dir / "bench.exe")) / (1 << 20);
  std::printf("compile  real %.2f s  peak %.1f MiB  in %.1f MiB  out %.1f MiB\n", c.seconds, c.peakMiB, in, out);

  fs::remove(dir / "bench.zip");
  Run z = Measure({"zip", "-9", "-r", "-q", "bench.zip", "payload"}, dir);
  if (z.status != 0) {
    std::printf("zip-9  FAILED (status %d; is zip installed?)\n", z.status);
    return 1;
  }
  double zout = static_cast<double>(fs::file_size(dir / "bench.zip")) / (1 << 20);
  std::printf("zip-9  real %.2f s  peak %.1f MiB  in %.1f MiB  out %.1f MiB\n", z.seconds, z.peakMiB, in, zout);
  return 0;
}
