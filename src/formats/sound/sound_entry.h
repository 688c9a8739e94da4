// Sound entries of package archives: a ".WAV" file of the setup becomes a
// kind-1 package entry instead of a zlib one.
//
// Entry layout:
//   0   44 bytes  the WAV file's canonical header ("RIFF" .. "data", data
//                 length); for ADPCM the data length is the rounded length
//   44  u8        1: the payload is IMA ADPCM blocks, 0: PCM as it was
//   45  i32       loop start, a byte offset into the PCM data, -1 none
//   49  i32       loop end, -1 none
//   53  u8        1: the file gave a loop start only and the end is the data length
//   54  u32       payload length
//   58  payload
//
// ADPCM payload: the PCM data (rounded down to whole sample pairs: 4 bytes
// mono, 8 bytes otherwise) in blocks of 2,048 input bytes, the last shorter.
// A block of len input bytes takes len / 4 bytes of 4-bit codes (first code
// in the high nibble; stereo: all left codes, then all right codes) and 6
// bytes of encoder state after the block (left predictor i16, left step index
// u8, right predictor i16, right step index u8; zeros on the right for mono).
// Each channel starts at predictor 0, step index 0 and carries its state over
// from block to block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

inline constexpr size_t kWavHeaderSize = 44;
inline constexpr size_t kSoundHeaderSize = 58;
inline constexpr size_t kAdpcmBlockInput = 2048;
inline constexpr size_t kAdpcmStateSize = 6;

// The IMA (DVI) ADPCM tables.
extern const std::array<int16_t, 89> kImaStepTable;
extern const std::array<int8_t, 16> kImaIndexTable;

struct ImaChannelState {
  int16_t Predictor = 0;
  uint8_t StepIndex = 0;
};

// Encodes samples with one channel's state, returning one 4-bit code per
// sample (in the low nibble of each byte).
std::vector<uint8_t> ImaEncode(std::span<const int16_t> samples, ImaChannelState& state);

struct SoundEntryResult {
  bool Ok = false;
  std::string Problem;  // why the file was rejected
  std::vector<uint8_t> Bytes;
};

// Builds the entry from a WAV file's bytes. `name` is the setup-archive entry
// name: files below a folder "\Effects\" keep their PCM. A file without the
// canonical 44-byte header, with a data length of 0 or less, a sample rate of
// 0 or a data chunk that runs past the end of the file is rejected.
SoundEntryResult BuildSoundEntry(std::string_view name, std::span<const uint8_t> wav);

// The entry's own 58-byte header, read back (tools, tests).
struct SoundEntryHeader {
  std::array<uint8_t, kWavHeaderSize> Wav{};
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t ByteRate = 0;
  uint16_t BitsPerSample = 0;
  uint32_t DataLength = 0;
  bool Adpcm = false;
  int32_t LoopStart = -1;
  int32_t LoopEnd = -1;
  bool LoopToEnd = false;
  uint32_t PayloadLength = 0;
};

// False when the entry is shorter than its header.
bool ReadSoundEntryHeader(std::span<const uint8_t> entry, SoundEntryHeader& out);

// Bytes of ADPCM payload for `dataLength` rounded input bytes.
uint64_t AdpcmPayloadLength(uint64_t roundedLength);

}  // namespace ferry
