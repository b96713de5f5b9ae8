// Ownership of the kernel handles the adapters create for their own use (the event of an
// overlapped driver request). Handles handed to the program logic are not wrapped: the logic
// closes them through its port, as the system it models does.
#pragma once

#include "platform/types.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }

  // CreateFileW reports failure as INVALID_HANDLE_VALUE, most other calls as NULL.
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

  void Reset(HANDLE handle = nullptr) {
    if (Valid()) {
      ::CloseHandle(handle_);
    }
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// The program logic sees OS objects as integers (platform/types.h); these convert at the border.
inline HANDLE ToWin32(Handle handle) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the value is a handle, not an address
  return reinterpret_cast<HANDLE>(handle);
}
inline Handle FromWin32(HANDLE handle) {
  return reinterpret_cast<Handle>(handle);
}

}  // namespace veltra
