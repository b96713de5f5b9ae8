// Vendor-library port: a DLL loaded at run time by name (LoadLibraryW / GetProcAddress /
// FreeLibrary). Used by the Sunplus route.
#pragma once

#include "platform/types.h"

namespace veltra {

class VendorLibrary {
 public:
  virtual ~VendorLibrary() = default;
  virtual Handle Load(const wchar_t* name) = 0;                       // kNullHandle on failure
  virtual void* GetProc(Handle library, const char* ansiName) = 0;    // nullptr when missing
  virtual void Free(Handle library) = 0;
};

}  // namespace veltra
