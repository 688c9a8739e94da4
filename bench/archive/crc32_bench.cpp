// CalcCrc32 against zlib's crc32 over the same 256 MiB buffer.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "formats/pak/crc32.h"

namespace {

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> v(256u << 20);
    std::mt19937_64 gen(42);
    for (size_t i = 0; i + 8 <= v.size(); i += 8) {
      uint64_t x = gen();
      for (int k = 0; k < 8; ++k) v[i + k] = static_cast<uint8_t>(x >> (8 * k));
    }
    return v;
  }();
  return data;
}

void CalcCrc32_256MiB(benchmark::State& state) {
  const auto& data = Buffer();
  for (auto _ : state) {
    uint32_t crc = 0;
    ferry::CalcCrc32(data.data(), data.size(), crc);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.SetLabel("vs ZlibCrc32_256MiB");
}

void ZlibCrc32_256MiB(benchmark::State& state) {
  const auto& data = Buffer();
  for (auto _ : state) {
    uLong crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

// Small buffers: directory-sized entries, where the table path runs.
void CalcCrc32_4KiB(benchmark::State& state) {
  const auto& data = Buffer();
  for (auto _ : state) {
    uint32_t crc = 0;
    ferry::CalcCrc32(data.data(), 4096, crc);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 4096));
  state.SetLabel("vs ZlibCrc32_4KiB");
}

void ZlibCrc32_4KiB(benchmark::State& state) {
  const auto& data = Buffer();
  for (auto _ : state) {
    uLong crc = crc32(0, data.data(), 4096);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 4096));
}

}  // namespace

BENCHMARK(CalcCrc32_256MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ZlibCrc32_256MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CalcCrc32_4KiB);
BENCHMARK(ZlibCrc32_4KiB);
