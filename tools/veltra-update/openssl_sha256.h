// SHA-256 for the bench build, from the system's libcrypto (Debian libssl-dev). The Windows
// product computes it with BCrypt behind the same port.
#pragma once

#include "platform/sha256.h"

namespace veltra::update_bench {

class OpensslSha256 : public Sha256Port {
 public:
  bool Digest(const std::uint8_t* data, std::size_t size, Sha256Digest* digest) override;
};

}  // namespace veltra::update_bench
