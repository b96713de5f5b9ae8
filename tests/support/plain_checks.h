// Checks for the test programs that cannot link GoogleTest: the Windows adapters under Wine and
// the 32-bit call test. Each failed check is printed with its line; the closing line
// "N checks, N failed" is what CTest reads.
#pragma once

#include <cstdio>

namespace veltra::plain {

inline int checks = 0;
inline int failures = 0;

inline void Check(bool ok, const char* what, const char* file, int line) {
  ++checks;
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "%s:%d: failed: %s\n", file, line, what);
  }
}

// Prints the closing count; the program's exit status.
inline int Summary() {
  std::printf("%d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace veltra::plain

#define CHECK(cond) ::veltra::plain::Check((cond), #cond, __FILE__, __LINE__)
