// NXP i.MX RT1060 route: the flash loader into RAM over the ROM's Serial Download Protocol, then
// the firmware into FlexSPI NOR flash over MCU-Bootloader commands, both as HID reports.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

std::uint32_t DoDownloadNXPCypress();  // thread body (SDP stage)
// Run by the update worker. 1 once the image went out, whatever the flash loader received (a lost
// data report is not repeated and not reported); 0 only when there is no image to send or it is
// 16 MiB or larger, which the flash loader's byte count cannot express: then nothing is sent.
int DoDownloadNXPFirmware(UpdateSession& update);

}  // namespace veltra
