#include "platform/win32/win32_sha256.h"

// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on
#include <bcrypt.h>

#include <algorithm>

namespace veltra {

namespace {

// BCryptHashData takes a ULONG length: a larger block goes in parts.
constexpr std::size_t kMaxPart = 0x40000000;

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

// The provider and the hash object, closed in the reverse order of their opening.
class HashObjects {
 public:
  ~HashObjects() {
    if (hash_ != nullptr) {
      BCryptDestroyHash(hash_);
    }
    if (provider_ != nullptr) {
      BCryptCloseAlgorithmProvider(provider_, 0);
    }
  }
  bool Open() {
    // The hash object's memory is left to the provider (pbHashObject null, Windows 7 and later).
    return Succeeded(
               BCryptOpenAlgorithmProvider(&provider_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
           Succeeded(BCryptCreateHash(provider_, &hash_, nullptr, 0, nullptr, 0, 0));
  }
  BCRYPT_HASH_HANDLE hash() const { return hash_; }

 private:
  BCRYPT_ALG_HANDLE provider_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

bool Win32Sha256::Digest(const std::uint8_t* data, std::size_t size, Sha256Digest* digest) {
  HashObjects objects;
  if (!objects.Open()) {
    return false;
  }
  std::size_t done = 0;
  while (done < size) {
    const std::size_t part = std::min(kMaxPart, size - done);
    // BCryptHashData does not write through its input pointer.
    if (!Succeeded(BCryptHashData(objects.hash(), const_cast<PUCHAR>(data + done),
                                  static_cast<ULONG>(part), 0))) {
      return false;
    }
    done += part;
  }
  return Succeeded(
      BCryptFinishHash(objects.hash(), digest->data(), static_cast<ULONG>(digest->size()), 0));
}

}  // namespace veltra
