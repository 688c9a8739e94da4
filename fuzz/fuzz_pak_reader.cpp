// The setup archive reader over arbitrary bytes: directory, every entry,
// every lookup and enumeration; zlib and zstd entries alike.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/pak/pak_file.h"
#include "base/dialogs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::MemoryFile file(std::vector<uint8_t>(data, data + size));
  ferry::RecordingDialogs dialogs;
  ferry::TPak pak(file, ferry::PakMode::kReader, &dialogs);
  for (size_t i = 0; i <= pak.EntryCount(); ++i) {
    auto loaded = pak.LoadEntry(i);
    if (loaded && loaded->size() != pak.Files()[i].OrigSize) __builtin_trap();
    pak.VerifyEntry(i);
    // Streamed: pieces within the chunk size, never past OrigSize, all of it when sound.
    uint64_t streamed = 0;
    bool sound = pak.StreamEntry(i, [&](std::span<const uint8_t> piece) {
      if (piece.size() > ferry::kStreamChunkSize) __builtin_trap();
      streamed += piece.size();
    });
    if (i < pak.EntryCount() && streamed > pak.Files()[i].OrigSize) __builtin_trap();
    if (sound && streamed != pak.Files()[i].OrigSize) __builtin_trap();
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
