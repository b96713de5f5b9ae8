// A stand-in SunplusCamera.dll for the Windows adapters' test: it exports the four entry points
// the program looks up by name and answers as a library that found one camera with flash type 2.
// Download_FW_Verbose checks each argument in its place, reports 0, 50 and 100 through the
// callback, and returns 0 only when every argument was where the program puts it.
//
// On 32-bit x86 the functions remove their own arguments (stdcall) under undecorated names
// (--kill-at), the convention the program does not declare, so a call that did not restore the
// stack pointer would show there.
#include <cstdint>

#if defined(__i386__)
#define STUB_CALL __attribute__((stdcall))
#else
#define STUB_CALL
#endif
#define STUB_EXPORT extern "C" __declspec(dllexport)

namespace {
constexpr std::uint8_t kFlashType = 2;
bool g_open = false;
}  // namespace

using StubProgress = std::int32_t (*)(std::int32_t percent);

STUB_EXPORT std::int32_t STUB_CALL SunplusCam_Init(std::int32_t reserved) {
  g_open = reserved == 0;
  return g_open ? 0 : -1;
}

STUB_EXPORT std::int32_t STUB_CALL SunplusCam_UnInit(std::int32_t /*reserved*/) {
  const bool wasOpen = g_open;
  g_open = false;
  return wasOpen ? 0 : -1;
}

STUB_EXPORT std::int32_t STUB_CALL Get_FlashType(std::uint8_t* flashType) {
  if (!g_open || flashType == nullptr) {
    return -1;
  }
  *flashType = kFlashType;
  return 0;
}

STUB_EXPORT std::int32_t STUB_CALL Download_FW_Verbose(
    std::uint8_t* image, std::int32_t length, std::int32_t flashType, std::int32_t reserved4,
    std::int32_t reserved5, std::int32_t reserved6, std::int32_t reserved7, std::int32_t one8,
    std::int32_t zero9, StubProgress progress, std::int32_t zero11) {
  if (!g_open || image == nullptr || length <= 0 || flashType != kFlashType || reserved4 != 0 ||
      reserved5 != 0 || reserved6 != 0 || reserved7 != 0 || one8 != 1 || zero9 != 0 ||
      progress == nullptr || zero11 != 0) {
    return -1;
  }
  for (std::int32_t percent = 0; percent <= 100; percent += 50) {
    progress(percent);
  }
  return 0;
}
