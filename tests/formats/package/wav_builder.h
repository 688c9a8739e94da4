// Small WAV files made in memory for the sound-entry tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_writer.h"

namespace ferry::test {

struct WavFormat {
  uint16_t channels = 1;
  uint32_t sample_rate = 22050;
  uint16_t bits = 16;
};

// Canonical 44-byte header, the data, then any extra chunk bytes.
inline std::vector<uint8_t> MakeWav(const WavFormat& form, const std::vector<uint8_t>& data,
                                    const std::vector<uint8_t>& extra = {}) {
  ByteWriter w;
  uint16_t align = static_cast<uint16_t>(form.channels * form.bits / 8);
  w.String("RIFF");
  w.U32(static_cast<uint32_t>(36 + data.size() + extra.size()));
  w.String("WAVE");
  w.String("fmt ");
  w.U32(16);
  w.U16(1);
  w.U16(form.channels);
  w.U32(form.sample_rate);
  w.U32(form.sample_rate * align);
  w.U16(align);
  w.U16(form.bits);
  w.String("data");
  w.U32(static_cast<uint32_t>(data.size()));
  w.Bytes(data);
  w.Bytes(extra);
  return w.Take();
}

inline std::vector<uint8_t> Samples16(const std::vector<int16_t>& s) {
  ByteWriter w;
  for (int16_t v : s) w.U16(static_cast<uint16_t>(v));
  return w.Take();
}

// n 16-bit samples of a sine (interleaved copies for more channels).
inline std::vector<int16_t> Sine(size_t frames, uint16_t channels, double freq, double rate, double amp) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < frames; ++i)
    for (uint16_t c = 0; c < channels; ++c)
      s.push_back(static_cast<int16_t>(std::lround(amp * std::sin(2 * 3.14159265358979323846 * freq * (c + 1) * i / rate))));
  return s;
}

// A "cue " chunk with the given sample positions.
inline std::vector<uint8_t> CueChunk(const std::vector<uint32_t>& positions) {
  ByteWriter w;
  w.String("cue ");
  w.U32(static_cast<uint32_t>(4 + 24 * positions.size()));
  w.U32(static_cast<uint32_t>(positions.size()));
  for (size_t i = 0; i < positions.size(); ++i) {
    w.U32(static_cast<uint32_t>(i + 1));
    w.U32(positions[i]);
    w.String("data");
    w.U32(0);
    w.U32(0);
    w.U32(positions[i]);
  }
  return w.Take();
}

}  // namespace ferry::test
