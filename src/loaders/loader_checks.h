// A loader file checked before the camera hears anything: the CX3 route erases the camera's
// flash and the NXP camera's mode switch drops it into its ROM, and either leaves the camera
// needing the loader file that lies next to the program. A missing or unusable file is found
// here, while the camera still runs its firmware, and named to the user with its reason.
#pragma once

#include <cstddef>

namespace veltra {

enum class LoaderFile { kFx3BootImage, kNxpFlashLoader };

// The message's size: the file's name, the reason and the advice.
constexpr std::size_t kLoaderRefusalChars = 512;

// true when the loader file can be given to the chip's ROM. Otherwise message holds the text to
// show: the file's name, why it cannot be used, and that the camera was left as it was. The file
// is read whole and let go again; nothing is kept and nothing is shown.
bool CheckLoaderFile(LoaderFile file, wchar_t (&message)[kLoaderRefusalChars]);

}  // namespace veltra
