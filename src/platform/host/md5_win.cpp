#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "base/setup_error.h"
#include "base/md5.h"

namespace ferry {

struct Md5::State {
  HCRYPTPROV Provider = 0;
  HCRYPTHASH Hash = 0;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  if (!CryptAcquireContextA(&state_->Provider, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
    state_->Provider = 0;
    return;
  }
  if (!CryptCreateHash(state_->Provider, CALG_MD5, 0, 0, &state_->Hash)) state_->Hash = 0;
}

Md5::~Md5() {
  if (state_->Hash) CryptDestroyHash(state_->Hash);
  if (state_->Provider) CryptReleaseContext(state_->Provider, 0);
}

bool Md5::Available() const { return state_->Hash != 0; }

void Md5::Update(std::span<const uint8_t> bytes) {
  // CryptHashData takes a DWORD count: feed very large spans in pieces.
  size_t done = 0;
  do {
    DWORD n = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    if (!state_->Hash || !CryptHashData(state_->Hash, bytes.data() + done, n, 0)) throw SetupError("MD5 Error");
    done += n;
  } while (done < bytes.size());
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> out{};
  DWORD len = 16;
  if (!state_->Hash || !CryptGetHashParam(state_->Hash, HP_HASHVAL, out.data(), &len, 0) || len != 16)
    throw SetupError("MD5 Error");
  return out;
}

}  // namespace ferry
