// WAV files of a setup group become sound entries; sound entries come back
// through the inspector's decoder. Both take any bytes without crashing.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "formats/sound/sound_entry.h"
#include "base/setup_error.h"
// The decoder is the inspector's own; it is built into this target as is.
#include "../tools/ferryc/rkp_sound_decoder.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  std::string name = size % 2 ? "snd\\Effects\\a.wav" : "snd\\a.wav";
  ferry::SoundEntryResult r = ferry::BuildSoundEntry(name, input);
  if (r.Ok) {
    // An entry the builder made always decodes back to its own data length.
    try {
      auto wav = ferry::tool::SoundEntryToWav(r.Bytes);
      ferry::SoundEntryHeader h;
      ferry::ReadSoundEntryHeader(r.Bytes, h);
      if (wav.size() != ferry::kWavHeaderSize + h.DataLength) __builtin_trap();
    } catch (const ferry::SetupError&) {
      __builtin_trap();
    }
  }
  try {
    ferry::tool::SoundEntryToWav(input);
  } catch (const ferry::SetupError&) {
  }
  return 0;
}
