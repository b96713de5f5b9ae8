// Where the program's run-time load of SunplusCamera.dll finds the library once the entry has
// restricted the DLL search (dll_search.cpp).
#pragma once

namespace veltra {

// The argument that starts win32_adapter_tests.exe as the child of the search check, followed by
// "restricted" or "open": it loads the library by name as the product does (after restricting the
// search as the product's entry does, or not) and ends with 0 when it was found, 1 when not.
constexpr const char* kLoadSunplusArgument = "--load-sunplus";
int LoadSunplusAsTheProgramDoes(bool restricted);

// Starts this program again in a folder of its own with the library put in one place at a time.
void SunplusLibraryIsFoundBesideTheProgramAndInTheSystemFolderOnly();

}  // namespace veltra
