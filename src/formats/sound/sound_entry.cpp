#include "formats/sound/sound_entry.h"

#include <algorithm>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace ferry {

const std::array<int16_t, 89> kImaStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const std::array<int8_t, 16> kImaIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

std::vector<uint8_t> ImaEncode(std::span<const int16_t> samples, ImaChannelState& state) {
  std::vector<uint8_t> codes;
  codes.reserve(samples.size());
  int predictor = state.Predictor;
  int index = state.StepIndex;
  int step = kImaStepTable[index];
  for (int16_t sample : samples) {
    int diff = sample - predictor;
    int sign = 0;
    if (diff < 0) {
      sign = 8;
      diff = -diff;
    }
    int code = 0;
    int delta = step >> 3;
    if (diff >= step) {
      code = 4;
      diff -= step;
      delta += step;
    }
    if (diff >= (step >> 1)) {
      code += 2;
      diff -= step >> 1;
      delta += step >> 1;
    }
    if (diff >= (step >> 2)) {
      code += 1;
      delta += step >> 2;
    }
    predictor = std::clamp(sign ? predictor - delta : predictor + delta, -32768, 32767);
    index = std::clamp(index + kImaIndexTable[code + sign], 0, 88);
    step = kImaStepTable[index];
    codes.push_back(static_cast<uint8_t>(code + sign));
  }
  state.Predictor = static_cast<int16_t>(predictor);
  state.StepIndex = static_cast<uint8_t>(index);
  return codes;
}

namespace {

bool TagAt(std::span<const uint8_t> b, size_t pos, std::string_view tag) {
  return b.size() >= pos + tag.size() && std::memcmp(b.data() + pos, tag.data(), tag.size()) == 0;
}

SoundEntryResult Reject(std::string why) {
  SoundEntryResult r;
  r.Problem = std::move(why);
  return r;
}

struct LoopPoints {
  int32_t Start = -1;
  int32_t End = -1;
  bool ToEnd = false;
};

// Walks the chunks after the data chunk; a "cue " chunk's first two points
// give loop start and end as byte offsets.
LoopPoints FindLoopPoints(std::span<const uint8_t> wav, uint32_t dataLength, uint32_t bytesPerSample) {
  bool haveStart = false, haveEnd = false;
  uint32_t start = 0, end = 0;
  uint64_t pos = kWavHeaderSize + uint64_t{dataLength};
  while (pos < wav.size()) {
    ByteReader r(wav.subspan(static_cast<size_t>(pos)));
    if (!r.Has(4)) break;
    std::string id = r.String(4);
    uint32_t length = r.U32();
    if (id == "cue ") {
      uint32_t count = r.U32();
      for (uint32_t i = 0; i < count && r.Has(24); ++i) {
        r.U32();  // cue point id
        uint32_t sample = r.U32();
        r.Skip(16);
        if (i == 0) {
          start = sample * bytesPerSample;
          haveStart = true;
        } else if (i == 1) {
          end = sample * bytesPerSample;
          haveEnd = true;
        }
      }
    }
    pos += uint64_t{length} + 8;
  }
  LoopPoints lp;
  if (!haveStart) return lp;
  lp.Start = static_cast<int32_t>(start);
  if (!haveEnd) {
    lp.End = static_cast<int32_t>(dataLength);
    lp.ToEnd = true;
  } else {
    lp.End = static_cast<int32_t>(end);
    if (lp.End < lp.Start) std::swap(lp.Start, lp.End);
  }
  return lp;
}

int16_t SampleAt(std::span<const uint8_t> pcm, size_t i) {
  return static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
}

// Two codes to a byte, the first in the high nibble.
void PackCodes(const std::vector<uint8_t>& codes, ByteWriter& w) {
  for (size_t i = 0; i + 1 < codes.size(); i += 2) w.U8(static_cast<uint8_t>((codes[i] << 4) | codes[i + 1]));
  if (codes.size() % 2) w.U8(static_cast<uint8_t>(codes.back() << 4));
}

void EncodeAdpcm(std::span<const uint8_t> pcm, bool stereo, ByteWriter& w) {
  ImaChannelState left, right;
  std::vector<int16_t> a, b;
  for (size_t off = 0; off < pcm.size(); off += kAdpcmBlockInput) {
    auto block = pcm.subspan(off, std::min(kAdpcmBlockInput, pcm.size() - off));
    size_t samples = block.size() / 2;
    a.clear();
    b.clear();
    for (size_t i = 0; i < samples; ++i) {
      if (stereo && (i % 2))
        b.push_back(SampleAt(block, i));
      else
        a.push_back(SampleAt(block, i));
    }
    PackCodes(ImaEncode(a, left), w);
    if (stereo) PackCodes(ImaEncode(b, right), w);
    w.U16(static_cast<uint16_t>(left.Predictor));
    w.U8(left.StepIndex);
    w.U16(stereo ? static_cast<uint16_t>(right.Predictor) : 0);
    w.U8(stereo ? right.StepIndex : 0);
  }
}

}  // namespace

uint64_t AdpcmPayloadLength(uint64_t roundedLength) {
  uint64_t blocks = (roundedLength + kAdpcmBlockInput - 1) / kAdpcmBlockInput;
  return roundedLength / 4 + kAdpcmStateSize * blocks;
}

SoundEntryResult BuildSoundEntry(std::string_view name, std::span<const uint8_t> wav) {
  if (wav.size() < kWavHeaderSize) return Reject("shorter than a WAV header");
  if (!TagAt(wav, 0, "RIFF") || !TagAt(wav, 8, "WAVE") || !TagAt(wav, 12, "fmt ") || !TagAt(wav, 36, "data"))
    return Reject("not a canonical WAV header");
  ByteReader r(wav);
  r.Seek(16);
  if (r.U32() != 16) return Reject("format chunk is not 16 bytes long");
  r.Seek(22);
  uint16_t channels = r.U16();
  uint32_t sampleRate = r.U32();
  uint32_t byteRate = r.U32();
  r.U16();  // block align
  uint16_t bits = r.U16();
  r.Seek(40);
  int32_t dataLength = r.I32();
  if (dataLength <= 0) return Reject("data length is not above 0");
  if (sampleRate == 0) return Reject("sample rate is 0");
  if (uint64_t(dataLength) > wav.size() - kWavHeaderSize) return Reject("data chunk runs past the end of the file");

  LoopPoints loops = FindLoopPoints(wav, static_cast<uint32_t>(dataLength), byteRate / sampleRate);
  bool adpcm = bits == 16 && loops.Start == -1 && loops.End == -1 && name.find("\\Effects\\") == std::string_view::npos;

  std::span<const uint8_t> pcm = wav.subspan(kWavHeaderSize, static_cast<size_t>(dataLength));
  uint32_t storedLength = static_cast<uint32_t>(dataLength);
  if (adpcm) {
    storedLength &= channels == 1 ? ~3u : ~7u;
    pcm = pcm.first(storedLength);
  }
  ByteWriter w;
  w.Bytes(wav.first(40));
  w.U32(storedLength);
  w.U8(adpcm ? 1 : 0);
  w.U32(static_cast<uint32_t>(loops.Start));
  w.U32(static_cast<uint32_t>(loops.End));
  w.U8(loops.ToEnd ? 1 : 0);
  w.U32(static_cast<uint32_t>(adpcm ? AdpcmPayloadLength(storedLength) : storedLength));
  if (adpcm)
    EncodeAdpcm(pcm, channels == 2, w);
  else
    w.Bytes(pcm);
  SoundEntryResult result;
  result.Ok = true;
  result.Bytes = w.Take();
  return result;
}

bool ReadSoundEntryHeader(std::span<const uint8_t> entry, SoundEntryHeader& out) {
  if (entry.size() < kSoundHeaderSize) return false;
  std::copy_n(entry.begin(), kWavHeaderSize, out.Wav.begin());
  ByteReader r(entry);
  r.Seek(22);
  out.Channels = r.U16();
  out.SampleRate = r.U32();
  out.ByteRate = r.U32();
  r.U16();
  out.BitsPerSample = r.U16();
  r.Seek(40);
  out.DataLength = r.U32();
  out.Adpcm = r.U8() != 0;
  out.LoopStart = r.I32();
  out.LoopEnd = r.I32();
  out.LoopToEnd = r.U8() != 0;
  out.PayloadLength = r.U32();
  return true;
}

}  // namespace ferry
