#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "base/setup_error.h"
#include "base/sha256.h"

namespace ferry {

struct Sha256::State {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
};

// SHA-256 needs the AES provider type; the basic one knows only MD5 and SHA-1.
Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!CryptAcquireContextA(&state_->provider, nullptr, nullptr, PROV_RSA_AES,
                            CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
    state_->provider = 0;
    return;
  }
  if (!CryptCreateHash(state_->provider, CALG_SHA_256, 0, 0, &state_->hash)) state_->hash = 0;
}

Sha256::~Sha256() {
  if (state_->hash) CryptDestroyHash(state_->hash);
  if (state_->provider) CryptReleaseContext(state_->provider, 0);
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  // CryptHashData takes a DWORD count: feed very large spans in pieces.
  size_t done = 0;
  do {
    DWORD n = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    if (!state_->hash || !CryptHashData(state_->hash, bytes.data() + done, n, 0))
      throw SetupError("SHA-256 Error");
    done += n;
  } while (done < bytes.size());
}

Sha256Digest Sha256::Final() {
  Sha256Digest out{};
  DWORD len = static_cast<DWORD>(out.size());
  if (!state_->hash || !CryptGetHashParam(state_->hash, HP_HASHVAL, out.data(), &len, 0) || len != out.size())
    throw SetupError("SHA-256 Error");
  return out;
}

}  // namespace ferry
