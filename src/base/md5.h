// MD5 of the archive digest, through the platform's crypto library
// (OpenSSL natively, the Windows cryptographic service provider in the stub).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace ferry {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  // False when the provider or the hash object could not be obtained; the
  // caller then keeps its old digest.
  bool Available() const;
  // Throws SetupError("MD5 Error") when the provider refuses the bytes.
  void Update(std::span<const uint8_t> bytes);
  std::array<uint8_t, 16> Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ferry
