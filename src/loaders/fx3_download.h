// Cypress FX3 boot-loader route: parse the boot image and write it into the controller's RAM
// with vendor requests through the Cypress driver, then start it.
#pragma once

#include "platform/types.h"

namespace veltra {

// A boot-loader download (FX3 or NXP SDP stage) is running; the device list starts no other.
extern Flag g_bLoaderDownloadBusy;

std::uint32_t DoDownloadCypress();  // thread body: 1 after the entry request, 0 on failure
int DownloadBufferToDevice(const std::uint8_t* data, std::uint32_t length, std::uint32_t address);

}  // namespace veltra
