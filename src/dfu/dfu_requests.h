// DFU-style vendor requests over WinUSB: opening a device interface, binding WinUSB to it, and one
// operation per control request. Every request goes through the UsbTransport port.
#pragma once

#include "core/dfu_link.h"
#include "platform/types.h"

namespace veltra {

// Every request goes to the connection it is handed (the update session's one camera
// connection): the engines, the loaders and the version read and reset open and release that one
// connection around their work.

Handle Initialize_USBHanlde(DfuLink& link, const wchar_t* path);  // 0 on failure
int InitializeDevice(DfuLink& link, const wchar_t* path);

int GetStatus(DfuLink& link, DfuStatus* status);
int SendCommand(DfuLink& link, std::uint8_t command);
int SendZeroLengthPkt(DfuLink& link);
int SendData(DfuLink& link, const std::uint8_t* buffer, std::uint32_t length);
int SendDataMCUData(DfuLink& link, std::uint32_t length);  // from the staging block
int SendDataFPGAData(DfuLink& link, std::uint32_t length);
int EraseCombinedImage(DfuLink& link);
int SendDataMCUVerifyFlashRequest(DfuLink& link);
int ReadMCUVerifyStatus(DfuLink& link, DfuStatus* status);  // 1 when bStatus != 0, bState == 13
int SendDataFGPAVerifyFlashRequest(DfuLink& link);
int ReadFPGAVerifyStatus(DfuLink& link, DfuStatus* status);  // 1 when bStatus != 0, bState == 17
int SendDeviceResetCommand(DfuLink& link);

// Frees winUSBHandle and closes deviceHandle when set, zeroing each (the dialog, the device-change
// handling and the reset all release the connection this way).
void ReleaseDfuHandles(DfuLink& link);
// Closes the handle the FX3 route opened for its Cypress requests (lastOpenedHandle) unless it is
// the DFU device handle, and forgets it.
void CloseFx3Handle(DfuLink& link);

}  // namespace veltra
