#include "rkp_sound_decoder.h"

#include <algorithm>

#include "formats/sound/sound_entry.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/setup_error.h"

namespace ferry::tool {

namespace {

struct Decoder {
  int Predictor = 0;
  int Index = 0;

  int16_t Next(uint8_t code) {
    int step = kImaStepTable[Index];
    int diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    Predictor = std::clamp((code & 8) ? Predictor - diff : Predictor + diff, -32768, 32767);
    Index = std::clamp(Index + kImaIndexTable[code & 15], 0, 88);
    return static_cast<int16_t>(Predictor);
  }
};

// `count` codes, two to a byte, high nibble first.
void DecodeCodes(std::span<const uint8_t> bytes, size_t count, Decoder& d, std::vector<int16_t>& out) {
  if (count > bytes.size() * 2) throw SetupError("ADPCM block shorter than its codes");
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = bytes[i / 2];
    out.push_back(d.Next(i % 2 ? b & 15 : b >> 4));
  }
}

void CheckState(ByteReader& r, const Decoder& left, const Decoder& right, bool stereo, size_t block) {
  int16_t lp = static_cast<int16_t>(r.U16());
  uint8_t li = r.U8();
  int16_t rp = static_cast<int16_t>(r.U16());
  uint8_t ri = r.U8();
  bool ok = lp == left.Predictor && li == left.Index &&
            (stereo ? (rp == right.Predictor && ri == right.Index) : (rp == 0 && ri == 0));
  if (!ok) throw SetupError("ADPCM block " + std::to_string(block) + " stores a state its codes do not reach");
}

}  // namespace

std::vector<int16_t> DecodeAdpcmPayload(std::span<const uint8_t> payload, uint32_t roundedLength,
                                        uint16_t channels) {
  if (payload.size() != AdpcmPayloadLength(roundedLength))
    throw SetupError("ADPCM payload length does not match the data length");
  bool stereo = channels == 2;
  if (roundedLength % (channels == 1 ? 4 : 8) != 0) throw SetupError("ADPCM data length is not whole sample pairs");
  std::vector<int16_t> pcm;
  pcm.reserve(roundedLength / 2);
  Decoder left, right;
  std::vector<int16_t> a, b;
  ByteReader r(payload);
  size_t block = 0;
  for (uint32_t off = 0; off < roundedLength; off += kAdpcmBlockInput, ++block) {
    size_t len = std::min<size_t>(kAdpcmBlockInput, roundedLength - off);
    a.clear();
    b.clear();
    if (stereo) {
      DecodeCodes(r.Bytes(len / 8), len / 4, left, a);
      DecodeCodes(r.Bytes(len / 8), len / 4, right, b);
      for (size_t i = 0; i < a.size(); ++i) {
        pcm.push_back(a[i]);
        pcm.push_back(b[i]);
      }
    } else {
      DecodeCodes(r.Bytes(len / 4), len / 2, left, a);
      pcm.insert(pcm.end(), a.begin(), a.end());
    }
    CheckState(r, left, right, stereo, block);
  }
  return pcm;
}

std::vector<uint8_t> SoundEntryToWav(std::span<const uint8_t> entry) {
  SoundEntryHeader h;
  if (!ReadSoundEntryHeader(entry, h)) throw SetupError("sound entry shorter than its header");
  auto payload = entry.subspan(kSoundHeaderSize);
  if (payload.size() != h.PayloadLength) throw SetupError("sound entry payload length does not match");
  ByteWriter w;
  w.Bytes(std::span<const uint8_t>(h.Wav).first(4));
  w.U32(36 + h.DataLength);
  w.Bytes(std::span<const uint8_t>(h.Wav).subspan(8, 32));
  w.U32(h.DataLength);
  if (!h.Adpcm) {
    if (h.DataLength != payload.size()) throw SetupError("PCM payload length differs from the data length");
    w.Bytes(payload);
    return w.Take();
  }
  for (int16_t s : DecodeAdpcmPayload(payload, h.DataLength, h.Channels)) w.U16(static_cast<uint16_t>(s));
  return w.Take();
}

}  // namespace ferry::tool
