// NXP i.MX RT1060 route: the flash loader into RAM over the ROM's Serial Download Protocol, then
// the firmware into FlexSPI NOR flash over MCU-Bootloader commands, both as HID reports.
#pragma once

#include "core/boot_loader_step.h"
#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

struct ParsedImage;

// The firmware is written 4 KiB into a region of 100,000 bytes erased from the start of the flash.
// The flash's sector size is not known here, so only what fits inside the erased region behind
// that offset is taken: 100,000 - 4,096 bytes. A longer image would be written over old firmware
// the erase never freed, and the camera would keep neither.
constexpr std::uint32_t kNxpImageLimit = 100000 - 4096;
// Shown when the selected image is longer; %u is the limit.
constexpr const wchar_t* kTextNxpImageTooLarge =
    L"The firmware image is too large for this camera: it can take at most %u bytes.\r\nNothing "
    L"was written; the camera keeps its current firmware.";
// Whether the image fits the region the NXP route erases.
bool NxpImageFits(const ParsedImage* image);

// Thread body (SDP stage): 1 once the ROM took the flash loader and was told to jump to it; 0 when
// there is no whole flash loader or a report was not delivered (nothing more is sent then, the ROM
// does not jump, and an update waiting for it ends with a message).
std::uint32_t DoDownloadNXPCypress(BootLoaderStep& step, UpdateSession& update);
// Run by the update worker. 1 once every report of the image went out and the flash loader
// answered success to each command up to the end of the image's data. The last report ends the
// flash loader's session and the chip restarts, so the update then waits for the camera (its
// restart phase, timer 2 for a minute): back running its firmware is the success, the RT1060 ROM
// (no bootable image) or no return is a failure (see ConcludeNxpRestart). 0 when a report was not
// delivered or a command not answered with success (nothing more is sent), when the answers
// cannot be read (nothing is sent), or when there is no image to send or it does not fit
// (NxpImageFits): then nothing is sent and the flash is not erased.
int DoDownloadNXPFirmware(UpdateSession& update);

}  // namespace veltra
