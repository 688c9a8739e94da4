// The codecs of compressed archive entries (CompSize != 0): a zlib stream,
// or a zstd frame. The stored bytes say which: a zstd frame begins with its
// magic 28 B5 2F FD, which no zlib stream can begin with (28 B5 fails the
// zlib header check: 0x28B5 is no multiple of 31).
//
// The decoder does no I/O: it is fed the stored bytes in pieces and fills
// the caller's output buffers, so an entry of any size unpacks through a
// few fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferry {

enum class PakCodec { kZlib, kZstd };

inline constexpr uint8_t kZstdMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
// The largest zstd window an entry may use (8 MiB, what level 19 uses
// anyway): the decoder's memory stays this size whatever the entry's size.
// The writer keeps to it; a frame asking for more is damage.
inline constexpr int kZstdWindowLogMax = 23;
inline constexpr int kZstdMaxLevel = 19;

// The codec of a compressed entry whose stored bytes begin with `head`.
PakCodec CodecOf(std::span<const uint8_t> head);

// A zstd frame's header, read without decoding the frame.
struct ZstdFrameHead {
  bool Sound = false;  // a frame the decoder would start on: its window within the limit
  std::string Error;   // the codec's words, when not Sound
  std::optional<uint64_t> ContentSize;  // when the frame records it
};

// The most bytes a zstd frame header takes.
inline constexpr size_t kZstdFrameHeadMax = 18;

// The header at the start of a zstd entry's stored bytes (`head`: its first
// bytes, ZSTD's 18 at most are looked at).
ZstdFrameHead ReadZstdFrameHead(std::span<const uint8_t> head);

// Unpacks one stored stream after another (Reset between two).
class PakDecoder {
 public:
  enum class Step {
    kMore,   // call again: with more input once `in` is empty, or after the output was taken
    kEnd,    // the stream is complete
    kError,  // the stream is damaged; Error() says how
  };

  explicit PakDecoder(PakCodec codec);
  ~PakDecoder();
  PakDecoder(const PakDecoder&) = delete;
  PakDecoder& operator=(const PakDecoder&) = delete;

  // Starts a new stream.
  void Reset();
  // Unpacks from `in` (advanced past what was taken) into `out`; *produced
  // is the number of bytes written to its start.
  Step Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t* produced);
  // The codec's own words for the damage, or empty.
  const std::string& Error() const { return error_; }

 private:
  struct State;
  PakCodec codec_;
  std::unique_ptr<State> state_;
  std::string error_;
};

// The zstd frame of `data` at `level` (1 to kZstdMaxLevel) within the window
// limit above; none when the codec fails. Its own translation unit, so that
// a program that never packs zstd (the stub) carries no zstd compressor.
std::optional<std::vector<uint8_t>> ZstdPack(std::span<const uint8_t> data, int level);

}  // namespace ferry
