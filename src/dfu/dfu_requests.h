// DFU-style vendor requests over WinUSB: opening a device interface, binding WinUSB to it, and one
// operation per control request. Every request goes through the UsbTransport port.
#pragma once

#include "platform/types.h"

namespace veltra {

// The 6-byte status record (DFU 1.1 GETSTATUS layout).
struct DfuStatus {
  std::uint8_t bStatus = 0;
  std::uint8_t bwPollTimeout[3] = {0, 0, 0};
  std::uint8_t bState = 0;
  std::uint8_t iString = 0;
};
// The last status record the camera returned (part of the transfer context below).
extern DfuStatus dfu_status;

// USB transfer context: the one camera connection that is open, shared by the engines, the
// loaders and the version read; it is opened and released around updates and commands.
extern std::atomic<Handle> deviceHandle;      // 0 = none
extern std::atomic<Handle> lastOpenedHandle;  // the FX3 route sends its driver requests on it
extern std::atomic<Handle> winUSBHandle;      // all ones = invalid

// The staging block the MCU and FPGA data requests send from.
constexpr std::uint32_t kBlockSize = 1024;
extern std::uint8_t g_stagingBlock[kBlockSize];

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

void ResetDfuContext();

}  // namespace veltra
