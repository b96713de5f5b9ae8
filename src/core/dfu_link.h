// The camera connection the DFU requests go to: the one device an update, the version read or
// the reset talks to, its WinUSB binding, the handle the FX3 route sends its driver requests on,
// the last status record the camera returned and the block the data requests send from. The
// requests, the engines and the loaders are handed it; the update session holds the program's one.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace veltra {

// The 6-byte status record (DFU 1.1 GETSTATUS layout).
struct DfuStatus {
  std::uint8_t bStatus = 0;
  std::uint8_t bwPollTimeout[3] = {0, 0, 0};
  std::uint8_t bState = 0;
  std::uint8_t iString = 0;
};

// The block the MCU and FPGA data requests send from.
constexpr std::uint32_t kBlockSize = 1024;

struct DfuLink {
  std::atomic<Handle> deviceHandle{kNullHandle};  // 0 = none
  std::atomic<Handle> lastOpenedHandle{
      kNullHandle};                               // the FX3 route sends its driver requests on it
  std::atomic<Handle> winUSBHandle{kNullHandle};  // all ones = invalid
  DfuStatus dfu_status;                           // the last status record the camera returned
  std::uint8_t stagingBlock[kBlockSize] = {};     // the MCU and FPGA data requests send from it
  // The device interface path deviceHandle was opened on (written on the dialog thread before a
  // worker that reads it starts): whether the camera is still on the bus is asked by it.
  wchar_t devicePath[kPathChars] = {};

  // Closes nothing: forgets the handles, the status record and the staging block.
  void Forget() {
    deviceHandle = kNullHandle;
    lastOpenedHandle = kNullHandle;
    winUSBHandle = kNullHandle;
    dfu_status = DfuStatus{};
    for (std::uint8_t& byte : stagingBlock) {
      byte = 0;
    }
    devicePath[0] = L'\0';
  }
};

}  // namespace veltra
