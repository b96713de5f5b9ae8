// The two loader files that lie next to the executable: the FX3 boot image and the NXP flash
// loader. Only one is held at a time, in the boot-loader step's buffer.
#pragma once

#include "image/firmware_image.h"

namespace veltra {

constexpr const wchar_t* kFx3BootImageName = L"bootloader.img";
constexpr const wchar_t* kNxpFlashLoaderName = L"RT1060_Flashloader_nopadding.bin";
// The byte count the RT1060 ROM is told to expect for the flash loader, whatever the file's
// length.
constexpr std::uint32_t kNxpFlashLoaderLength = 86272;
// The ROM takes the file in data reports of 1024 bytes, the last one zero-filled. A file that
// needs as many reports as the count fills the count and is taken whole; a shorter one would leave
// the ROM waiting for bytes that never come, a longer one would be cut.
constexpr std::uint32_t kNxpFlashLoaderReportBytes = 1024;
constexpr std::uint32_t kNxpFlashLoaderShortest =
    (kNxpFlashLoaderLength - 1) / kNxpFlashLoaderReportBytes * kNxpFlashLoaderReportBytes + 1;
static_assert(kNxpFlashLoaderShortest == 86017, "84 whole reports and one byte of the 85th");
// Whether a flash loader file of this length can be given to the ROM.
constexpr bool NxpFlashLoaderLengthFits(std::uint32_t length) {
  return length >= kNxpFlashLoaderShortest && length <= kNxpFlashLoaderLength;
}
// Shown for a flash loader file of another length; %ls is the file's name, %u and %u the range,
// the last %u the file's length.
constexpr const wchar_t* kTextFlashLoaderSize =
    L"The flash loader file %ls must be %u to %u bytes long, but it is %u bytes long.\r\nPlease "
    L"put the right file next to the program.";

// Where the executable's folder ends in its path (the loader files lie in that folder): the index
// of the last backslash, -1 without one (the loader path is then the bare file name).
int ExeDirLength(const wchar_t* exePath);

// How reading a loader file went: read whole and not empty, or why not.
enum class LoaderRead { kRead, kMissing, kUnreadable, kEmpty };
// Reads the loader file of that name from the program's folder into image (emptied first; left
// empty unless kRead). Shows nothing.
LoaderRead ReadLoaderFile(const wchar_t* name, Payload& image);

// Each reads its file into image (emptied first; left empty on failure).
int LoadFX3BootImage(Payload& image);
// Refuses a file whose length NxpFlashLoaderLengthFits does not take, with a message. On success
// waits 5000 ms on the program's clock. Which update writes through the flash loader is the
// update's own business (the session's bNXPMode), not the file's: a ROM loaded at start-up or
// for another camera steers no update.
int LoadNXPFlashLoader(Payload& image);

}  // namespace veltra
