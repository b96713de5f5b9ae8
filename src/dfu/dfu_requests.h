// DFU-style vendor requests over WinUSB: opening a device interface, binding WinUSB to it, and one
// operation per control request. Every request goes through the UsbTransport port.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// The camera connection the requests use (deviceHandle, winUSBHandle, lastOpenedHandle), the last
// status record and the staging block are the update session's: the engines, the loaders and the
// version read and reset open and release that one connection around their work.

Handle Initialize_USBHanlde(const wchar_t* path);  // 0 on failure
int InitializeDevice(const wchar_t* path);

int GetStatus(DfuStatus* status);
int SendCommand(std::uint8_t command);
int SendZeroLengthPkt();
int SendData(const std::uint8_t* buffer, std::uint32_t length);
int SendDataMCUData(std::uint32_t length);
int SendDataFPGAData(std::uint32_t length);
int EraseCombinedImage();
int SendDataMCUVerifyFlashRequest();
int ReadMCUVerifyStatus(DfuStatus* status);  // 1 when bStatus != 0 and bState == 13
int SendDataFGPAVerifyFlashRequest();
int ReadFPGAVerifyStatus(DfuStatus* status);  // 1 when bStatus != 0 and bState == 17
int SendDeviceResetCommand();

// Frees winUSBHandle and closes deviceHandle when set, zeroing each (the dialog, the device-change
// handling and the reset all release the context this way).
void ReleaseDfuHandles();
// Closes the handle the FX3 route opened for its Cypress requests (lastOpenedHandle) unless it is
// the DFU device handle, and forgets it.
void CloseFx3Handle();

// Closes nothing: forgets the connection, the status record and the staging block (tests).
void ResetDfuContext();

}  // namespace veltra
