#include "veltra-update/openssl_sha256.h"

#include <openssl/evp.h>

namespace veltra::update_bench {

bool OpensslSha256::Digest(const std::uint8_t* data, std::size_t size, Sha256Digest* digest) {
  unsigned int length = 0;
  return EVP_Digest(data, size, digest->data(), &length, EVP_sha256(), nullptr) == 1 &&
         length == digest->size();
}

}  // namespace veltra::update_bench
