// NXP i.MX RT1060 route: the flash loader into RAM over the ROM's Serial Download Protocol, then
// the firmware into FlexSPI NOR flash over MCU-Bootloader commands, both as HID reports.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// Thread body (SDP stage): 1 once the ROM took the flash loader and was told to jump to it; 0 when
// there is no whole flash loader or a report was not delivered (nothing more is sent then, the ROM
// does not jump, and an update waiting for it ends with a message).
std::uint32_t DoDownloadNXPCypress();
// Run by the update worker. 1 once every report of the image went out; 0 when a report was not
// delivered (nothing more is sent), or when there is no image to send or it is 16 MiB or larger,
// which the flash loader's byte count cannot express: then nothing is sent.
int DoDownloadNXPFirmware(UpdateSession& update);

}  // namespace veltra
