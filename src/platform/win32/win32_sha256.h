// SHA-256 on Windows: the system's own CNG provider (bcrypt.dll, Vista and later).
#pragma once

#include "platform/sha256.h"

namespace veltra {

class Win32Sha256 : public Sha256Port {
 public:
  bool Digest(const std::uint8_t* data, std::size_t size, Sha256Digest* digest) override;
};

}  // namespace veltra
