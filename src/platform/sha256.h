// SHA-256 of a block of bytes, for the record the console program keeps of the file it sent.
// Windows computes it (BCrypt); the bench build uses a system library behind the same port. The
// program writes no cryptography of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace veltra {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256Port {
 public:
  virtual ~Sha256Port() = default;
  // False when the system could not compute it.
  virtual bool Digest(const std::uint8_t* data, std::size_t size, Sha256Digest* digest) = 0;
};

}  // namespace veltra
