// Turns a package's sound entry back into a WAV file: raw PCM is copied,
// IMA ADPCM blocks are decoded, each block starting from the encoder state
// the block before it stored (0, 0 for the first). The state a block stores
// must be the one its decoding ends in: a mismatch means a damaged entry.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ferry::tool {

// PCM samples of an ADPCM payload, interleaved as in the WAV file. Throws
// SetupError for a payload that does not fit the header.
std::vector<int16_t> DecodeAdpcmPayload(std::span<const uint8_t> payload, uint32_t roundedLength,
                                        uint16_t channels);

// The whole WAV file (44-byte header + PCM data). Throws SetupError.
std::vector<uint8_t> SoundEntryToWav(std::span<const uint8_t> entry);

}  // namespace ferry::tool
