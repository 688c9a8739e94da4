#include <openssl/evp.h>

#include "base/setup_error.h"
#include "base/sha256.h"

namespace ferry {

struct Sha256::State {
  EVP_MD_CTX* ctx = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  if (state_->ctx && EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->ctx);
    state_->ctx = nullptr;
  }
}

Sha256::~Sha256() {
  if (state_->ctx) EVP_MD_CTX_free(state_->ctx);
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  if (!state_->ctx || EVP_DigestUpdate(state_->ctx, bytes.data(), bytes.size()) != 1)
    throw SetupError("SHA-256 Error");
}

Sha256Digest Sha256::Final() {
  Sha256Digest out{};
  unsigned int len = 0;
  if (!state_->ctx || EVP_DigestFinal_ex(state_->ctx, out.data(), &len) != 1 || len != out.size())
    throw SetupError("SHA-256 Error");
  return out;
}

}  // namespace ferry
