#include <openssl/evp.h>

#include "base/setup_error.h"
#include "base/md5.h"

namespace ferry {

struct Md5::State {
  EVP_MD_CTX* Ctx = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  state_->Ctx = EVP_MD_CTX_new();
  if (state_->Ctx && EVP_DigestInit_ex(state_->Ctx, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->Ctx);
    state_->Ctx = nullptr;
  }
}

Md5::~Md5() {
  if (state_->Ctx) EVP_MD_CTX_free(state_->Ctx);
}

bool Md5::Available() const { return state_->Ctx != nullptr; }

void Md5::Update(std::span<const uint8_t> bytes) {
  if (!state_->Ctx || EVP_DigestUpdate(state_->Ctx, bytes.data(), bytes.size()) != 1)
    throw SetupError("MD5 Error");
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> out{};
  unsigned int len = 0;
  if (!state_->Ctx || EVP_DigestFinal_ex(state_->Ctx, out.data(), &len) != 1 || len != 16)
    throw SetupError("MD5 Error");
  return out;
}

}  // namespace ferry
