// The two loader files that lie next to the executable: the FX3 boot image and the NXP flash
// loader. Only one is held at a time, in the shared loader buffer.
#pragma once

#include "image/firmware_image.h"

namespace veltra {

constexpr const wchar_t* kFx3BootImageName = L"bootloader.img";
constexpr const wchar_t* kNxpFlashLoaderName = L"RT1060_Flashloader_nopadding.bin";
// The byte count the RT1060 ROM is told to expect for the flash loader, whatever the file's
// length: a shorter file could only leave a half-loaded program for the ROM to jump into.
constexpr std::uint32_t kNxpFlashLoaderLength = 86272;

// The loader buffer; the FX3 and NXP downloads release it when they have sent it.
extern Payload g_loaderImage;

int LoadFX3BootImage();
// Refuses a file shorter than kNxpFlashLoaderLength. On success also sets g_bNXPMode and waits
// 5000 ms on the program's clock.
int LoadNXPFlashLoader();

}  // namespace veltra
