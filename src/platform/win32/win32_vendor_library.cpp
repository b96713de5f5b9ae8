#include "platform/win32/win32_vendor_library.h"

#include <cstring>

#include "platform/win32/win32_windows.h"

namespace veltra {

namespace {

// A module handle is the library's base address, not a kernel object.
HMODULE ToModule(Handle library) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the module's base address, kept as an integer
  return reinterpret_cast<HMODULE>(library);
}

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

Handle Win32VendorLibrary::Load(const wchar_t* name) {
  if (name == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return kNullHandle;
  }
  return reinterpret_cast<Handle>(::LoadLibraryW(name));
}

void* Win32VendorLibrary::GetProc(Handle library, const char* ansiName) {
  if (library == kNullHandle || ansiName == nullptr) {
    return nullptr;
  }
  const FARPROC proc = ::GetProcAddress(ToModule(library), ansiName);
  // The port hands entry points out as plain pointers; the caller casts back to the entry's
  // own type. A byte copy avoids a function-to-object pointer cast.
  void* address = nullptr;
  static_assert(sizeof(address) == sizeof(proc), "code and data pointers differ in size");
  std::memcpy(&address, &proc, sizeof(address));
  return address;
}

void Win32VendorLibrary::Free(Handle library) {
  if (library != kNullHandle) {
    ::FreeLibrary(ToModule(library));
  }
}

bool RestrictDllSearchPath() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) {
    return false;
  }
  const FARPROC proc = ::GetProcAddress(kernel, "SetDefaultDllDirectories");
  if (proc == nullptr) {
    // Without it, at least the current folder leaves the search order.
    ::SetDllDirectoryW(L"");
    return false;
  }
  SetDefaultDllDirectoriesFn setDefault = nullptr;
  static_assert(sizeof(setDefault) == sizeof(proc), "entry point sizes differ");
  std::memcpy(&setDefault, &proc, sizeof(setDefault));
  return setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS) != FALSE;
}

}  // namespace veltra
