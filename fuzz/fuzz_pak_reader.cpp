// The setup archive reader over arbitrary bytes: directory, every entry,
// every lookup and enumeration; zlib and zstd entries alike; the same
// entries read on worker threads, which must give the same verdicts, in the
// order the group extractor unpacks them ahead.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/pak/group_extractor.h"
#include "formats/pak/inflate_pipeline.h"
#include "formats/pak/pak_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::MemoryFile file(std::vector<uint8_t>(data, data + size));
  ferry::PakReader pak(file);
  std::vector<bool> streamedSound(pak.EntryCount());
  std::optional<size_t> firstDamaged;
  for (size_t i = 0; i <= pak.EntryCount(); ++i) {
    auto loaded = pak.LoadEntry(i);
    if (loaded && loaded->size() != pak.Files()[i].OrigSize) __builtin_trap();
    // A wrong length is named only for a stream that unpacked to another one.
    if (const auto length = pak.LastVerdict().WrongLength; length && *length == pak.Files()[i].OrigSize)
      __builtin_trap();
    if (!pak.VerifyEntry(i) && i < pak.EntryCount() && pak.Files()[i].OrigSize != 0 && !firstDamaged) firstDamaged = i;
    // Streamed: pieces within the chunk size, never past OrigSize, all of it when sound.
    uint64_t streamed = 0;
    bool sound = pak.StreamEntry(i, [&](std::span<const uint8_t> piece) {
      if (piece.size() > ferry::kStreamChunkSize) __builtin_trap();
      streamed += piece.size();
    });
    if (i < pak.EntryCount() && streamed > pak.Files()[i].OrigSize) __builtin_trap();
    if (sound && streamed != pak.Files()[i].OrigSize) __builtin_trap();
    if (i < pak.EntryCount()) streamedSound[i] = sound;
  }
  if (pak.VerifyEntries(2, {}) != firstDamaged) __builtin_trap();
  std::vector<size_t> order;
  for (size_t i = 0; i < pak.EntryCount(); ++i)
    if (ferry::StepFor(pak.Files()[i]) == ferry::ExtractStep::kUnpack) order.push_back(i);
  {
    ferry::InflatePipeline pipeline(file, pak.ArchiveEnd(), pak.Files(), order, 2);
    for (size_t i : order)
      if (pipeline.Take(i, {}).Sound != streamedSound[i]) __builtin_trap();
  }
  for (uint16_t group : {0, 1, 2}) {
    for (auto f = pak.FindFirst(group, true); !f.Name.empty(); f = pak.FindNext(group, false)) {
    }
    size_t n = 0;
    pak.ForEachInGroup(group, [&](size_t) { ++n; });
    if (n != pak.CountGroup(group)) __builtin_trap();
  }
  pak.LoadByName("SetupInfo", 0);
  pak.CountPayloadEntries();
  return 0;
}
