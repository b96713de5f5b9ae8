// The stack-safe call into SunplusCamera.dll, built for 32-bit x86 (g++ -m32): the same call
// reaches a cdecl and a stdcall function, hands over the arguments in order, and leaves the
// stack pointer where it was. The entry points are declared with the program's own (cdecl)
// types, as the program declares them, whatever convention the function really has.
// A plain console program: GoogleTest is built for the 64-bit host only.
#include <cstdint>
#include <cstdio>

#include "loaders/sunplus_call.h"
#include "loaders/sunplus_download.h"
#include "support/plain_checks.h"

#if !defined(__i386__)
#error "this test is built with -m32"
#endif

namespace {

std::uint32_t StackPointer() {
  std::uint32_t esp = 0;
  // The caller's ESP, as it is between calls (this function is inlined into the caller).
  __asm__ volatile("movl %%esp, %0" : "=r"(esp) : : "memory");
  return esp;
}

extern "C" {
__attribute__((noinline, cdecl)) std::int32_t CdeclInit(std::int32_t reserved) {
  return reserved == 0 ? 0 : 7;
}
__attribute__((noinline, stdcall)) std::int32_t StdcallInit(std::int32_t reserved) {
  return reserved == 0 ? 0 : 7;
}
}

std::int32_t g_lastPercent = -1;
int g_progressCalls = 0;
std::int32_t __attribute__((cdecl)) Progress(std::int32_t percent) {
  g_lastPercent = percent;
  ++g_progressCalls;
  return 0;
}

// The download checks every argument in its place and reports progress through the callback as
// the library does; 0 when everything was where the library expects it.
template <typename Callback>
std::int32_t Download(std::uint8_t* image, std::int32_t length, std::int32_t flashType,
                      std::int32_t r4, std::int32_t r5, std::int32_t r6, std::int32_t r7,
                      std::int32_t one8, std::int32_t zero9, Callback progress,
                      std::int32_t zero11) {
  if (image == nullptr || length != 5 || image[4] != 0x55 || flashType != 3 || r4 != 0 || r5 != 0 ||
      r6 != 0 || r7 != 0 || one8 != 1 || zero9 != 0 || zero11 != 0) {
    return 1;
  }
  for (std::int32_t percent = 0; percent <= 100; percent += 50) {
    progress(percent);
  }
  return 0;
}

extern "C" {
__attribute__((noinline, cdecl)) std::int32_t CdeclDownload(
    std::uint8_t* image, std::int32_t length, std::int32_t flashType, std::int32_t r4,
    std::int32_t r5, std::int32_t r6, std::int32_t r7, std::int32_t one8, std::int32_t zero9,
    veltra::PfnSunplusProgress progress, std::int32_t zero11) {
  return Download(image, length, flashType, r4, r5, r6, r7, one8, zero9, progress, zero11);
}
__attribute__((noinline, stdcall)) std::int32_t StdcallDownload(
    std::uint8_t* image, std::int32_t length, std::int32_t flashType, std::int32_t r4,
    std::int32_t r5, std::int32_t r6, std::int32_t r7, std::int32_t one8, std::int32_t zero9,
    veltra::PfnSunplusProgress progress, std::int32_t zero11) {
  return Download(image, length, flashType, r4, r5, r6, r7, one8, zero9, progress, zero11);
}
}

struct Library {
  const char* convention;
  veltra::PfnSunplusCam_Init init;
  veltra::PfnDownload_FW_Verbose download;
};

void CallsReturnToASoundFrame(const Library& library) {
  std::printf("%s\n", library.convention);
  std::uint8_t image[5] = {1, 2, 3, 4, 0x55};
  g_progressCalls = 0;
  g_lastPercent = -1;

  const std::uint32_t before = StackPointer();
  const std::int32_t opened = veltra::CallSunplus(library.init, 0);
  const std::int32_t refused = veltra::CallSunplus(library.init, 1);
  const std::int32_t wrongLength =
      veltra::CallSunplus(library.download, image, 4, 3, 0, 0, 0, 0, 1, 0, &Progress, 0);
  const std::int32_t downloaded =
      veltra::CallSunplus(library.download, image, 5, 3, 0, 0, 0, 0, 1, 0, &Progress, 0);
  const std::uint32_t after = StackPointer();

  CHECK(after == before);
  CHECK(opened == 0);
  CHECK(refused == 7);
  CHECK(wrongLength == 1);
  CHECK(downloaded == 0);
  CHECK(g_progressCalls == 3 && g_lastPercent == 100);
}

}  // namespace

int main() {
  // Many calls in a row: a stack pointer left off by the arguments would add up and show.
  for (int round = 0; round < 3; ++round) {
    // The program's pointer types, whatever the function behind them really is.
    // NOLINTBEGIN(cppcoreguidelines-pro-type-reinterpret-cast): the point of the test
    CallsReturnToASoundFrame({"cdecl", reinterpret_cast<veltra::PfnSunplusCam_Init>(&CdeclInit),
                              reinterpret_cast<veltra::PfnDownload_FW_Verbose>(&CdeclDownload)});
    CallsReturnToASoundFrame({"stdcall", reinterpret_cast<veltra::PfnSunplusCam_Init>(&StdcallInit),
                              reinterpret_cast<veltra::PfnDownload_FW_Verbose>(&StdcallDownload)});
    // NOLINTEND(cppcoreguidelines-pro-type-reinterpret-cast)
  }
  return veltra::plain::Summary();
}
