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
// Shown for an empty loader file; the %ls are what the file is and its name.
constexpr const wchar_t* kTextLoaderEmpty =
    L"The %ls file %ls is empty.\r\nPlease put the right file next to the program.";

// Where the executable's folder ends in its path (the loader files lie in that folder): the index
// of the last backslash, -1 without one (the loader path is then the bare file name).
int ExeDirLength(const wchar_t* exePath);

// How reading a loader file went: read whole and not empty, or why not.
enum class LoaderRead { kRead, kMissing, kUnreadable, kEmpty };
// Reads the loader file of that name from the program's folder into image (emptied first; left
// empty unless kRead). Shows nothing.
LoaderRead ReadLoaderFile(const wchar_t* name, Payload& image);

// What became of reading a loader file. The device list reads them while it rebuilds, where no
// message box may be shown (its modal loop would let a nested notification rebuild the list
// under the rebuild): the problem is handed to the dialog and told once the rebuild is over.
enum class LoaderFileProblem : std::uint8_t {
  kNone,
  kMissing,    // cannot be opened or read
  kEmpty,      // holds no byte
  kWrongSize,  // a flash loader the ROM cannot take whole
};
// The message for a problem with the named file (length: the file's, for kWrongSize), written
// into text; the missing file keeps its short "Check File Path!".
void LoaderProblemText(LoaderFileProblem problem, const wchar_t* fileName, std::uint32_t length,
                       wchar_t* text, std::size_t textChars);

// Each reads its file into image (emptied first; left empty on failure) and says what was wrong
// with it; nothing is shown.
LoaderFileProblem LoadFX3BootImage(Payload& image);
// Refuses a file whose length NxpFlashLoaderLengthFits does not take. On success waits 5000 ms
// on the program's clock (the ROM settles). Which update writes through the flash loader is the
// update's own business (the session's bNXPMode), not the file's. fileLength, when given, receives the file's length
// (for the wrong size's message).
LoaderFileProblem LoadNXPFlashLoader(Payload& image, std::uint32_t* fileLength = nullptr);

}  // namespace veltra
