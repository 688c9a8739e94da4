// SHA-256, computed here rather than through the system's crypto provider:
// what a delta entry records of the file it was made against and of the
// file it makes. Under Wine the provider hashes at a few tens of MB/s, which
// made hashing most of a patch's run; this one uses the processor's SHA
// instructions where it has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ferry {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();

  void Update(std::span<const uint8_t> bytes);
  // The digest of everything given; the object then starts over.
  Sha256Digest Final();

 private:
  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> block_{};
  size_t held_ = 0;    // bytes in block_
  uint64_t total_ = 0;  // bytes given since the start
};

}  // namespace ferry
