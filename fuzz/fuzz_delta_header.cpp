// A delta entry's header, chunk table and frames from untrusted bytes (the
// first 8 bytes give the entry's OrigSize): parsing never reads outside the
// data, what was parsed writes back and parses the same, and applying it to
// a small base ends with a verdict.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/random_access_file.h"
#include "formats/pak/delta_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint64_t resultSize = 0;
  std::memcpy(&resultSize, data, 8);
  std::span<const uint8_t> stored(data + 8, size - 8);
  std::optional<ferry::DeltaHeader> h = ferry::ParseDeltaHeader(stored, stored.size(), resultSize, nullptr);
  if (!h) return 0;
  std::vector<uint8_t> again = ferry::WriteDeltaHeader(*h);
  if (again.size() != h->Size() || std::memcmp(again.data(), stored.data(), again.size()) != 0) std::abort();
  if (h->BaseSize > (1u << 20) || resultSize > (1u << 20)) return 0;
  ferry::MemoryFile archive(std::vector<uint8_t>(stored.begin(), stored.end()));
  ferry::MemoryFile base(std::vector<uint8_t>(static_cast<size_t>(h->BaseSize), 0x5A));
  ferry::PakFile e;
  e.CompSize = static_cast<uint32_t>(stored.size());
  e.OrigSize = static_cast<uint32_t>(resultSize);
  e.Kind = ferry::kEntryDelta;
  uint64_t made = 0;
  ferry::EntryVerdict v =
      ferry::DeltaApplier().Apply(archive, stored.size(), e, base, [&](std::span<const uint8_t> b) { made += b.size(); });
  if (made > resultSize) std::abort();
  (void)v;
  return 0;
}
