#include "formats/sound/sound_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "base/byte_reader.h"
#include "base/setup_error.h"
#include "rkp_sound_decoder.h"
#include "wav_builder.h"

namespace ferry {
namespace {

using test::CueChunk;
using test::MakeWav;
using test::Samples16;
using test::Sine;
using test::WavFormat;

SoundEntryHeader HeaderOf(const SoundEntryResult& r) {
  SoundEntryHeader h;
  EXPECT_TRUE(ReadSoundEntryHeader(r.Bytes, h));
  return h;
}

TEST(SoundEntry, MonoExampleGivesFiveBlocksAnd2588Bytes) {
  auto pcm = Samples16(Sine(5000, 1, 440, 22050, 8000));
  ASSERT_EQ(pcm.size(), 10000u);
  auto r = BuildSoundEntry("sound\\music.wav", MakeWav({}, pcm));
  ASSERT_TRUE(r.Ok) << r.Problem;
  EXPECT_EQ(r.Bytes.size(), 2588u);
  auto h = HeaderOf(r);
  EXPECT_TRUE(h.Adpcm);
  EXPECT_EQ(h.PayloadLength, 2530u);
  EXPECT_EQ(h.DataLength, 10000u);
  EXPECT_EQ(h.LoopStart, -1);
  EXPECT_EQ(h.LoopEnd, -1);
  EXPECT_FALSE(h.LoopToEnd);
  // 4 full blocks of 518 bytes, then 1,808 / 4 + 6 = 458.
  EXPECT_EQ(4 * 518 + 458, 2530);
  // The first 40 bytes of the WAV header are kept as they were.
  auto wav = MakeWav({}, pcm);
  EXPECT_TRUE(std::equal(wav.begin(), wav.begin() + 40, r.Bytes.begin()));
}

TEST(SoundEntry, DataIsRoundedToWholeSamplePairs) {
  auto mono = BuildSoundEntry("a.wav", MakeWav({}, std::vector<uint8_t>(10002, 1)));
  ASSERT_TRUE(mono.Ok);
  EXPECT_EQ(HeaderOf(mono).DataLength, 10000u);
  EXPECT_EQ(mono.Bytes.size(), 2588u);

  WavFormat stereo{2, 22050, 16};
  auto st = BuildSoundEntry("a.wav", MakeWav(stereo, std::vector<uint8_t>(10004, 1)));
  ASSERT_TRUE(st.Ok);
  EXPECT_EQ(HeaderOf(st).DataLength, 10000u);
  EXPECT_EQ(HeaderOf(st).PayloadLength, 2530u);
}

// Hand-worked codes: from predictor 0 and step 7, a sample of 1000 gives
// code 7 (predictor 11, step index 8); the next sample, -1000, gives 7 with
// the sign bit, 15.
TEST(SoundEntry, CodesGoHighNibbleFirst) {
  std::vector<int16_t> s(1024, 0);
  s[0] = 1000;
  s[1] = -1000;
  auto r = BuildSoundEntry("a.wav", MakeWav({}, Samples16(s)));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Bytes[kSoundHeaderSize], 0x7F);
}

TEST(SoundEntry, StereoStoresLeftCodesThenRightCodes) {
  std::vector<int16_t> s;
  for (int i = 0; i < 1024; ++i) {
    s.push_back(1000);   // left
    s.push_back(-1000);  // right
  }
  auto r = BuildSoundEntry("a.wav", MakeWav({2, 22050, 16}, Samples16(s)));
  ASSERT_TRUE(r.Ok);
  const uint8_t* block = r.Bytes.data() + kSoundHeaderSize;
  EXPECT_EQ(block[0], 0x77);    // first two left codes: positive
  EXPECT_EQ(block[256], 0xFF);  // first two right codes, after 2048 / 8 bytes
  // State bytes after the 512 code bytes: left predictor positive, right negative.
  ByteReader st(block + 512, 6);
  EXPECT_GT(static_cast<int16_t>(st.U16()), 900);
  st.U8();
  EXPECT_LT(static_cast<int16_t>(st.U16()), -900);
}

TEST(SoundEntry, MonoStateLeavesTheRightHalfZero) {
  auto r = BuildSoundEntry("a.wav", MakeWav({}, Samples16(Sine(1024, 1, 300, 22050, 5000))));
  ASSERT_TRUE(r.Ok);
  ASSERT_EQ(r.Bytes.size(), kSoundHeaderSize + 512 + 6);
  const uint8_t* state = r.Bytes.data() + kSoundHeaderSize + 512;
  EXPECT_EQ(state[3], 0);
  EXPECT_EQ(state[4], 0);
  EXPECT_EQ(state[5], 0);
  EXPECT_NE(state[2], 0);  // the step index moved
}

double SignalToNoise(const std::vector<int16_t>& ref, const std::vector<uint8_t>& decodedWav) {
  ByteReader r(decodedWav);
  r.Seek(kWavHeaderSize);
  double sig = 0, noise = 0;
  for (int16_t v : ref) {
    double d = static_cast<int16_t>(r.U16());
    sig += double(v) * v;
    noise += (d - v) * (d - v);
  }
  EXPECT_FALSE(r.Failed());
  return 10 * std::log10(sig / noise);
}

TEST(SoundEntry, DecoderGetsCloseToTheOriginal) {
  for (uint16_t channels : {1, 2}) {
    auto ref = Sine(44100, channels, 440, 22050, 12000);
    auto r = BuildSoundEntry("music\\a.wav", MakeWav({channels, 22050, 16}, Samples16(ref)));
    ASSERT_TRUE(r.Ok);
    auto wav = tool::SoundEntryToWav(r.Bytes);
    ASSERT_EQ(wav.size(), kWavHeaderSize + ref.size() * 2);
    double snr = SignalToNoise(ref, wav);
    std::printf("IMA ADPCM round trip, %u channel(s), 440 Hz sine: SNR %.1f dB\n", channels, snr);
    RecordProperty(channels == 1 ? "snr_mono_db" : "snr_stereo_db", std::to_string(snr));
    EXPECT_GT(snr, 25.0);
  }
}

TEST(SoundEntry, DecoderRejectsAStateItsCodesDoNotReach) {
  auto r = BuildSoundEntry("a.wav", MakeWav({}, Samples16(Sine(2048, 1, 300, 22050, 5000))));
  ASSERT_TRUE(r.Ok);
  r.Bytes[kSoundHeaderSize + 512] ^= 0x55;  // first block's stored predictor
  EXPECT_THROW(tool::SoundEntryToWav(r.Bytes), SetupError);
}

TEST(SoundEntry, EightBitCueAndEffectsStayRawPcm) {
  std::vector<uint8_t> data(1000, 0x80);
  auto eight = BuildSoundEntry("a.wav", MakeWav({1, 11025, 8}, data));
  ASSERT_TRUE(eight.Ok);
  EXPECT_FALSE(HeaderOf(eight).Adpcm);
  EXPECT_EQ(eight.Bytes.size(), kSoundHeaderSize + 1000);
  EXPECT_EQ(HeaderOf(eight).PayloadLength, 1000u);

  auto pcm = Samples16(Sine(600, 1, 440, 22050, 8000));
  auto fx = BuildSoundEntry("sounds\\Effects\\boom.wav", MakeWav({}, pcm));
  ASSERT_TRUE(fx.Ok);
  EXPECT_FALSE(HeaderOf(fx).Adpcm);
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), fx.Bytes.begin() + kSoundHeaderSize));
  // Letter case counts in the folder name.
  auto lower = BuildSoundEntry("sounds\\effects\\boom.wav", MakeWav({}, pcm));
  EXPECT_TRUE(HeaderOf(lower).Adpcm);
}

TEST(SoundEntry, OneCuePointLoopsToTheEnd) {
  auto pcm = Samples16(Sine(600, 1, 440, 22050, 8000));
  auto r = BuildSoundEntry("a.wav", MakeWav({}, pcm, CueChunk({100})));
  ASSERT_TRUE(r.Ok);
  auto h = HeaderOf(r);
  EXPECT_FALSE(h.Adpcm);
  EXPECT_EQ(h.LoopStart, 200);  // sample 100 x 2 bytes
  EXPECT_EQ(h.LoopEnd, 1200);
  EXPECT_TRUE(h.LoopToEnd);
  EXPECT_EQ(r.Bytes.size(), kSoundHeaderSize + 1200);  // the cue chunk is not stored
}

TEST(SoundEntry, LoopPointsInTheWrongOrderAreSwapped) {
  // Stereo 16-bit: 4 bytes per sample frame. A chunk before the cue chunk is skipped.
  std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'x', 'y', 'z', 'w'};
  auto cue = CueChunk({300, 50, 7});
  extra.insert(extra.end(), cue.begin(), cue.end());
  auto r = BuildSoundEntry("a.wav", MakeWav({2, 22050, 16}, std::vector<uint8_t>(4000, 0), extra));
  ASSERT_TRUE(r.Ok);
  auto h = HeaderOf(r);
  EXPECT_EQ(h.LoopStart, 200);
  EXPECT_EQ(h.LoopEnd, 1200);
  EXPECT_FALSE(h.LoopToEnd);
  EXPECT_FALSE(h.Adpcm);
}

TEST(SoundEntry, MalformedFilesAreRejected) {
  auto good = MakeWav({}, std::vector<uint8_t>(100, 0));
  EXPECT_TRUE(BuildSoundEntry("a.wav", good).Ok);

  auto fmt18 = good;
  fmt18[16] = 18;
  EXPECT_FALSE(BuildSoundEntry("a.wav", fmt18).Ok);

  auto list_first = good;  // data chunk not at byte 36
  std::copy_n("LIST", 4, list_first.begin() + 36);
  EXPECT_FALSE(BuildSoundEntry("a.wav", list_first).Ok);

  auto no_rate = good;
  std::fill_n(no_rate.begin() + 24, 4, 0);
  EXPECT_FALSE(BuildSoundEntry("a.wav", no_rate).Ok);

  auto past_end = good;
  past_end[40] = 101;  // one byte more than the file holds
  EXPECT_FALSE(BuildSoundEntry("a.wav", past_end).Ok);

  auto zero = good;
  std::fill_n(zero.begin() + 40, 4, 0);
  EXPECT_FALSE(BuildSoundEntry("a.wav", zero).Ok);

  auto negative = good;
  negative[43] = 0x80;
  EXPECT_FALSE(BuildSoundEntry("a.wav", negative).Ok);

  EXPECT_FALSE(BuildSoundEntry("a.wav", std::vector<uint8_t>(good.begin(), good.begin() + 43)).Ok);
}

// A sample rate of 0 used to reach the division that turns cue positions into byte offsets.
TEST(SoundEntry, SampleRateZeroWithCueIsRejectedNotDivided) {
  auto wav = MakeWav({1, 0, 16}, std::vector<uint8_t>(100, 0), CueChunk({1, 2}));
  EXPECT_FALSE(BuildSoundEntry("a.wav", wav).Ok);
}

TEST(SoundEntry, ChunkWalkSurvivesTruncatedAndHugeChunks) {
  auto data = std::vector<uint8_t>(100, 0);
  // A cue chunk claiming a million points, with the file ending after one.
  auto cue = CueChunk({10});
  cue[8] = 0x40;
  cue[9] = 0x42;
  cue[10] = 0x0F;
  auto r = BuildSoundEntry("a.wav", MakeWav({}, data, cue));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(HeaderOf(r).LoopStart, 20);
  // Chunk length near 4 GiB ends the walk.
  std::vector<uint8_t> huge = {'j', 'u', 'n', 'k', 0xF8, 0xFF, 0xFF, 0xFF, 1, 2};
  EXPECT_TRUE(BuildSoundEntry("a.wav", MakeWav({}, data, huge)).Ok);
}

}  // namespace
}  // namespace ferry
