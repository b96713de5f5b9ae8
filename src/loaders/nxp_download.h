// NXP i.MX RT1060 route: the flash loader into RAM over the ROM's Serial Download Protocol, then
// the firmware into FlexSPI NOR flash over MCU-Bootloader commands, both as HID reports.
#pragma once

#include "platform/types.h"

namespace veltra {

std::uint32_t DoDownloadNXPCypress();  // thread body (SDP stage)
int DoDownloadNXPFirmware();           // run by the update worker; always 1

}  // namespace veltra
