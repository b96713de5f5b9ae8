// The search for SunplusCamera.dll as the product runs it: the entry restricts the DLL search
// (RestrictDllSearchPath) and the Sunplus route loads the library by name. An elevated program
// must take it only from its own folder and the system folder, never from a folder on PATH or the
// current folder, where anyone can put a file of that name. For a 32-bit program under WoW64 the
// system folder is SysWOW64 (Windows redirects System32 there), and a library only in the 64-bit
// System32 must not be found.
//
// Each check starts a copy of this program in a sandbox folder without the library (the child,
// "--load-sunplus"), with the stand-in library put in one place at a time, and reads its exit code.
#include "dll_search.h"

#include <string>
#include <vector>

#include "loaders/sunplus_download.h"
#include "platform/types.h"
#include "platform/win32/win32_vendor_library.h"
#include "platform/win32/win32_windows.h"
#include "support/plain_checks.h"

namespace veltra {

int LoadSunplusAsTheProgramDoes(bool restricted) {
  if (restricted && !RestrictDllSearchPath()) {
    return 2;
  }
  Win32VendorLibrary vendor;
  const Handle library = vendor.Load(kSunplusLibraryName);
  if (library == kNullHandle) {
    return 1;
  }
  vendor.Free(library);
  return 0;
}

namespace {

constexpr int kFound = 0;
constexpr int kNotFound = 1;

std::wstring ModulePath(HMODULE module) {
  std::vector<wchar_t> path(kPathChars);
  const DWORD length = ::GetModuleFileNameW(module, path.data(), kPathChars);
  return length > 0 && length < kPathChars ? std::wstring(path.data(), length) : std::wstring();
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  return path.substr(path.find_last_of(L'\\') + 1);
}

// The sandbox: the program's copy (with OrloFWSW.dll, which it binds to at load time, and without
// SunplusCamera.dll), a folder put on the child's PATH and the child's current folder.
struct Sandbox {
  std::wstring root;
  std::wstring program;  // the copy of this program
  std::wstring beside;   // SunplusCamera.dll beside the copy
  std::wstring onPath;
  std::wstring current;
  std::wstring library;  // the stand-in, beside this program
};

bool MakeSandbox(Sandbox& box) {
  const std::wstring self = ModulePath(nullptr);
  const std::wstring folder = FolderOf(self);
  wchar_t temp[kPathChars];
  const DWORD length = ::GetTempPathW(kPathChars, temp);
  if (self.empty() || folder.empty() || length == 0 || length >= kPathChars) {
    return false;
  }
  box.root = std::wstring(temp) + L"veltra-dll-search-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring programFolder = box.root + L"\\program";
  box.program = programFolder + L"\\" + NameOf(self);
  box.beside = programFolder + L"\\" + kSunplusLibraryName;
  box.onPath = box.root + L"\\path";
  box.current = box.root + L"\\current";
  box.library = folder + L"\\" + kSunplusLibraryName;
  return ::CreateDirectoryW(box.root.c_str(), nullptr) &&
         ::CreateDirectoryW(programFolder.c_str(), nullptr) &&
         ::CreateDirectoryW(box.onPath.c_str(), nullptr) &&
         ::CreateDirectoryW(box.current.c_str(), nullptr) &&
         ::CopyFileW(self.c_str(), box.program.c_str(), TRUE) &&
         ::CopyFileW((folder + L"\\OrloFWSW.dll").c_str(),
                     (programFolder + L"\\OrloFWSW.dll").c_str(), TRUE);
}

void RemoveSandbox(const Sandbox& box) {
  const std::wstring programFolder = FolderOf(box.program);
  ::DeleteFileW(box.program.c_str());
  ::DeleteFileW((programFolder + L"\\OrloFWSW.dll").c_str());
  ::DeleteFileW(box.beside.c_str());
  ::DeleteFileW((box.onPath + L"\\" + kSunplusLibraryName).c_str());
  ::DeleteFileW((box.current + L"\\" + kSunplusLibraryName).c_str());
  ::RemoveDirectoryW(programFolder.c_str());
  ::RemoveDirectoryW(box.onPath.c_str());
  ::RemoveDirectoryW(box.current.c_str());
  ::RemoveDirectoryW(box.root.c_str());
}

// The child's exit code (kFound, kNotFound), or -1 when it could not be run. Its PATH starts with
// the sandbox's folder; its current folder is the sandbox's.
int RunChild(const Sandbox& box, bool restricted) {
  const std::string argument(kLoadSunplusArgument);
  const std::wstring line = L"\"" + box.program + L"\" " +
                            std::wstring(argument.begin(), argument.end()) +
                            (restricted ? L" restricted" : L" open");
  std::vector<wchar_t> command(line.begin(), line.end());
  command.push_back(L'\0');

  std::vector<wchar_t> oldPath(32767);
  const DWORD oldLength = ::GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767);
  const std::wstring path =
      box.onPath + (oldLength > 0 ? L";" + std::wstring(oldPath.data()) : L"");
  ::SetEnvironmentVariableW(L"PATH", path.c_str());

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, box.current.c_str(), &startup, &process);
  ::SetEnvironmentVariableW(L"PATH", oldLength > 0 ? oldPath.data() : nullptr);
  if (!started) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 3);
  } else {
    ::GetExitCodeProcess(process.hProcess, &code);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// The library put at <place> for one child run, and taken away again.
int RunWithLibraryAt(const Sandbox& box, const std::wstring& place, bool restricted) {
  if (!::CopyFileW(box.library.c_str(), place.c_str(), FALSE)) {
    return -2;
  }
  const int code = RunChild(box, restricted);
  ::DeleteFileW(place.c_str());
  return code;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

void SunplusLibraryIsFoundBesideTheProgramAndInTheSystemFolderOnly() {
  Sandbox box;
  const bool made = MakeSandbox(box);
  CHECK(made);
  if (made) {
    const std::wstring name = std::wstring(L"\\") + kSunplusLibraryName;
    // Without the restriction a library on PATH or in the current folder is found: the two
    // places are really reached by the child, so the restricted runs below prove something.
    CHECK(RunWithLibraryAt(box, box.onPath + name, false) == kFound);
    CHECK(RunWithLibraryAt(box, box.current + name, false) == kFound);
    CHECK(RunWithLibraryAt(box, box.onPath + name, true) == kNotFound);
    CHECK(RunWithLibraryAt(box, box.current + name, true) == kNotFound);
    CHECK(RunWithLibraryAt(box, box.beside, true) == kFound);

    // The system folder as this program sees it: System32, which WoW64 redirects to SysWOW64
    // for a 32-bit program.
    wchar_t system[kPathChars];
    const UINT length = ::GetSystemDirectoryW(system, kPathChars);
    CHECK(length > 0 && length < kPathChars);
    if (length > 0 && length < kPathChars) {
      CHECK(RunWithLibraryAt(box, system + name, true) == kFound);
    }
    if (IsWow64()) {
      // The 32-bit system folder by its own name, and the 64-bit one that the 32-bit program
      // never searches (reached with the redirection turned off for this thread).
      wchar_t wow[kPathChars];
      const UINT wowLength = ::GetSystemWow64DirectoryW(wow, kPathChars);
      CHECK(wowLength > 0 && wowLength < kPathChars);
      if (wowLength > 0 && wowLength < kPathChars) {
        CHECK(RunWithLibraryAt(box, wow + name, true) == kFound);
      }
      PVOID redirection = nullptr;
      CHECK(::Wow64DisableWow64FsRedirection(&redirection));
      const bool copied =
          ::CopyFileW(box.library.c_str(), (std::wstring(system) + name).c_str(), FALSE) != FALSE;
      ::Wow64RevertWow64FsRedirection(redirection);
      CHECK(copied);
      if (copied) {
        CHECK(RunChild(box, true) == kNotFound);
        CHECK(::Wow64DisableWow64FsRedirection(&redirection));
        ::DeleteFileW((std::wstring(system) + name).c_str());
        ::Wow64RevertWow64FsRedirection(redirection);
      }
    }
  }
  RemoveSandbox(box);
}

}  // namespace veltra
