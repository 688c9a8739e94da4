#include <gtest/gtest.h>

#include <string>

#include "base/sha256.h"

namespace ferry {
namespace {

std::string Hex(const Sha256Digest& d) {
  std::string out;
  for (uint8_t b : d) out += "0123456789abcdef"[b >> 4], out += "0123456789abcdef"[b & 15];
  return out;
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The published test vectors, each also fed in pieces that cross the
// 64-byte blocks at every offset and the padding's two-block case.
TEST(Sha256, KnownVectorsWholeAndInPieces) {
  const struct {
    std::string text;
    const char* hash;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    Sha256 whole;
    whole.Update(Bytes(c.text));
    EXPECT_EQ(Hex(whole.Final()), c.hash) << c.text.size() << " bytes";
    for (size_t piece : {1u, 63u, 65u, 4099u}) {
      Sha256 pieces;
      for (size_t at = 0; at < c.text.size(); at += piece) pieces.Update(Bytes(c.text.substr(at, piece)));
      EXPECT_EQ(Hex(pieces.Final()), c.hash) << c.text.size() << " bytes in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace ferry
