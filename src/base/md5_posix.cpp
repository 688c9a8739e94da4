#include <openssl/evp.h>

#include "base/setup_error.h"
#include "base/md5.h"

namespace ferry {

struct Md5::State {
  EVP_MD_CTX* ctx = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  if (state_->ctx && EVP_DigestInit_ex(state_->ctx, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->ctx);
    state_->ctx = nullptr;
  }
}

Md5::~Md5() {
  if (state_->ctx) EVP_MD_CTX_free(state_->ctx);
}

bool Md5::Available() const { return state_->ctx != nullptr; }

void Md5::Update(std::span<const uint8_t> bytes) {
  if (!state_->ctx || EVP_DigestUpdate(state_->ctx, bytes.data(), bytes.size()) != 1)
    throw SetupError("MD5 Error");
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> out{};
  unsigned int len = 0;
  if (!state_->ctx || EVP_DigestFinal_ex(state_->ctx, out.data(), &len) != 1 || len != 16)
    throw SetupError("MD5 Error");
  return out;
}

}  // namespace ferry
