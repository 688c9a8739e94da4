// SHA-256, through the platform's crypto library (OpenSSL natively, the
// Windows cryptographic service provider in the stub): what a delta entry
// records of the file it was made against and of the file it makes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace ferry {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // Throws SetupError("SHA-256 Error") when the provider cannot be had or
  // refuses the bytes.
  void Update(std::span<const uint8_t> bytes);
  Sha256Digest Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ferry
