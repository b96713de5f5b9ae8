#include "platform/win32/win32_single_instance.h"

// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

namespace veltra {

namespace {
// In the session's namespace: the dialog runs elevated and the console program as its caller,
// both in the user's session, where they share the cameras.
constexpr wchar_t kClaimName[] = L"Local\\Veltra_FW_Updater.Running";
}  // namespace

SingleInstance::~SingleInstance() {
  if (mutex_ != nullptr) {
    CloseHandle(static_cast<HANDLE>(mutex_));
  }
}

bool SingleInstance::Claim() {
  if (mutex_ != nullptr) {
    return true;
  }
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kClaimName);
  if (mutex == nullptr) {
    return false;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  mutex_ = mutex;
  return true;
}

}  // namespace veltra
