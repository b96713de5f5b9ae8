// The vendor-library port on Windows (LoadLibraryW / GetProcAddress / FreeLibrary), and the
// restriction of the DLL search that the entry applies before any library is loaded at run time.
#pragma once

#include "platform/vendor_library.h"

namespace veltra {

class Win32VendorLibrary : public VendorLibrary {
 public:
  Handle Load(const wchar_t* name) override;
  void* GetProc(Handle library, const char* ansiName) override;
  void Free(Handle library) override;
};

// Limits the DLL search of later run-time loads to the program's own folder and System32 (and
// folders added with AddDllDirectory), so that a library planted in the current folder is never
// loaded into this elevated process. SetDefaultDllDirectories is looked up at run time: Windows 7
// without its update KB2533623 lacks it, and the program must still start there; it then only
// takes the current folder out of the search (SetDllDirectoryW with an empty text). Returns true
// when the full restriction is in force.
bool RestrictDllSearchPath();

}  // namespace veltra
