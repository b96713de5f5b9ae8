// The DFU-style requests: each one is a single vendor control transfer on the default pipe of the
// bound WinUSB interface. The camera firmware borrows the DFU 1.1 request numbers but expects
// them as vendor requests to the device with wValue 1, so none of them is a class request.
#include "dfu/dfu_requests.h"

#include <cstring>

#include "core/debug_trace.h"
#include "core/text.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint16_t kRequestValue = 1;  // every out request carries wValue 1

constexpr std::uint8_t kRequestDownload = 0x01;
constexpr std::uint8_t kRequestGetStatus = 0x03;
constexpr std::uint8_t kRequestMcuData = 0x0B;
constexpr std::uint8_t kRequestMcuVerify = 0x0C;
constexpr std::uint8_t kRequestMcuVerifyStatus = 0x0D;
constexpr std::uint8_t kRequestErase = 0x0E;
constexpr std::uint8_t kRequestFpgaData = 0x0F;
constexpr std::uint8_t kRequestFpgaVerify = 0x10;
constexpr std::uint8_t kRequestFpgaVerifyStatus = 0x11;
constexpr std::uint8_t kRequestDeviceReset = 0x32;
constexpr std::uint16_t kDeviceResetIndex = 4;

constexpr std::uint8_t kMcuVerifiedState = 13;
constexpr std::uint8_t kFpgaVerifiedState = 17;

// Fixed pacing of the traffic: the device's own poll time-out is never used.
constexpr std::uint32_t kStatusPauseMs = 20;
constexpr std::uint32_t kMcuChunkPauseMs = 50;
constexpr std::uint32_t kErasePauseMs = 50;

// The open path buffer of Initialize_USBHanlde: longer paths are cut to 255 characters.
constexpr std::size_t kOpenPathChars = 256;

constexpr std::uint32_t kStatusLength = sizeof(DfuStatus);
static_assert(kStatusLength == 6, "the status record is the 6-byte GETSTATUS reply");

SetupPacket Out(std::uint8_t request, std::uint16_t length, std::uint16_t index = 0) {
  return SetupPacket{kVendorOut, request, kRequestValue, index, length};
}

SetupPacket In(std::uint8_t request) {
  return SetupPacket{kVendorIn, request, 0, 0, static_cast<std::uint16_t>(kStatusLength)};
}

bool HandleInvalid(const DfuLink& link) {
  return link.winUSBHandle.load() == kInvalidHandle;
}

// One control transfer on the bound interface; the transferred-bytes counter starts at 0.
bool Transfer(const DfuLink& link, const SetupPacket& setup, std::uint8_t* data,
              std::uint32_t* transferred) {
  *transferred = 0;
  return Usb().ControlTransfer(link.winUSBHandle.load(), setup, data, transferred);
}

// A 6-byte status read with the given request. The caller's record changes only when all six
// bytes arrived: a failed or short read leaves it as it was.
int ReadStatusRecord(const DfuLink& link, std::uint8_t request, const wchar_t* name,
                     DfuStatus* record) {
  std::uint8_t reply[kStatusLength] = {};
  std::uint32_t transferred = 0;
  if (!Transfer(link, In(request), reply, &transferred)) {
    DebugPrint(1, L"dodownload::%ls:: WinUsb_ControlTransfer GetLastError() = %d\r\n", name,
               static_cast<int>(Sys().GetLastError()));
    return 0;
  }
  if (transferred != kStatusLength) {
    DebugPrint(1, L"dodownload::%ls:: count not equal to number of bytes read ++\n", name);
    return 0;
  }
  if (record != nullptr) {
    std::memcpy(record, reply, kStatusLength);
  }
  return 1;
}

// The data requests: exactly `length` bytes must be taken by the device.
int SendBlock(const DfuLink& link, std::uint8_t request, const wchar_t* name,
              const std::uint8_t* buffer, std::uint32_t length) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"%ls:: Invalid Handle ++\n", name);
    return 0;
  }
  if (buffer == nullptr || length > 0xFFFF) {
    // Nothing that cannot be sent in one request is offered to the device.
    DebugPrint(1, L"dodownload::%ls:: count not equal to number of bytes written ++\n", name);
    return 0;
  }
  // The transport's data pointer is shared by both directions; an out transfer only reads it.
  auto* data = const_cast<std::uint8_t*>(buffer);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  std::uint32_t transferred = 0;
  if (!Transfer(link, Out(request, static_cast<std::uint16_t>(length)), data, &transferred)) {
    DebugPrint(1, L"dodownload::%ls:: WinUsb_ControlTransfer GetLastError() = %d\r\n", name,
               static_cast<int>(Sys().GetLastError()));
    return 0;
  }
  if (transferred != length) {
    DebugPrint(1, L"dodownload::%ls:: count not equal to number of bytes written ++\n", name);
    return 0;
  }
  return 1;
}

// The requests without data stage that need the call to succeed with nothing moved.
int SendNoData(const DfuLink& link, const SetupPacket& setup) {
  std::uint32_t transferred = 0;
  return Transfer(link, setup, nullptr, &transferred) && transferred == 0 ? 1 : 0;
}

}  // namespace

Handle Initialize_USBHanlde(DfuLink& link, const wchar_t* path) {
  wchar_t devicePath[kOpenPathChars];
  CopyText(devicePath, kOpenPathChars, path == nullptr ? L"" : path);
  const Handle handle = Usb().OpenDevice(devicePath);
  DebugPrint(1, L"Initialize_USBHanlde:: CreateFile GetLastError() = %d\r\n",
             static_cast<int>(Sys().GetLastError()));
  if (handle == kInvalidHandle) {
    // The handle it named belongs to an earlier open; the Cypress requests must not go there.
    link.lastOpenedHandle = kNullHandle;
    return kNullHandle;
  }
  link.lastOpenedHandle = handle;
  return handle;
}

int InitializeDevice(DfuLink& link, const wchar_t* path) {
  link.winUSBHandle = kNullHandle;
  if (link.deviceHandle.load() == kNullHandle) {
    // An open device handle is reused as it is; only without one is the path opened.
    link.deviceHandle = Initialize_USBHanlde(link, path);
    if (link.deviceHandle.load() == kNullHandle) {
      return 0;
    }
    CopyText(link.devicePath, path == nullptr ? L"" : path);
  }
  Handle bound = kNullHandle;
  if (!Usb().WinUsbInitialize(link.deviceHandle.load(), &bound)) {
    DebugPrint(1, L"InitializeDevice GetLastError() = %d\r\n",
               static_cast<int>(Sys().GetLastError()));
    return 0;
  }
  DebugPrint(1, L"InitializeDevice :: WinUsb_Initialize success\r\n");
  link.winUSBHandle = bound;
  return 1;
}

int GetStatus(DfuLink& link, DfuStatus* status) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"GetStatus:: Invalid Handle ++\n");
    return 0;
  }
  std::uint8_t reply[kStatusLength] = {};
  std::uint32_t transferred = 0;
  if (!Transfer(link, In(kRequestGetStatus), reply, &transferred)) {
    DebugPrint(1, L"dodownload::Getstatus:: WinUsb_ControlTransfer ++\n");
    DebugPrint(1, L"dodownload::Getstatus:: WinUsb_ControlTransfer GetLastError() = %d\r\n",
               static_cast<int>(Sys().GetLastError()));
    return 0;
  }
  if (transferred != kStatusLength) {
    // A short reply is a failed read even though the transfer itself succeeded.
    DebugPrint(1, L"dodownload::Getstatus:: count not equal to number of bytes read ++\n");
    return 0;
  }
  if (status != nullptr) {
    std::memcpy(status, reply, kStatusLength);
  }
  Sys().Sleep(kStatusPauseMs);
  return 1;
}

int SendCommand(DfuLink& link, std::uint8_t command) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"SendCommand:: Invalid Handle ++\n");
    return 0;
  }
  return SendNoData(link, Out(command, 0));
}

int SendZeroLengthPkt(DfuLink& link) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"SendZeroLengthPkt:: Invalid Handle ++\n");
    return 0;
  }
  std::uint32_t transferred = 0;
  if (!Transfer(link, Out(kRequestDownload, 0), nullptr, &transferred)) {
    DebugPrint(1, L"SendZeroLengthPkt::WinUsb_ControlTransfer Failed \r\n");
    return 0;
  }
  return transferred == 0 ? 1 : 0;
}

int SendData(DfuLink& link, const std::uint8_t* buffer, std::uint32_t length) {
  return SendBlock(link, kRequestDownload, L"SendData", buffer, length);
}

namespace {
// The staging-block requests never send more than the block holds.
const std::uint8_t* Staging(const DfuLink& link, std::uint32_t length) {
  return length <= kBlockSize ? link.stagingBlock : nullptr;
}
}  // namespace

int SendDataMCUData(DfuLink& link, std::uint32_t length) {
  const int sent =
      SendBlock(link, kRequestMcuData, L"SendDataMCUData", Staging(link, length), length);
  if (sent != 0) {
    Sys().Sleep(kMcuChunkPauseMs);
  }
  return sent;
}

int SendDataFPGAData(DfuLink& link, std::uint32_t length) {
  return SendBlock(link, kRequestFpgaData, L"SendDataFPGAData", Staging(link, length), length);
}

int EraseCombinedImage(DfuLink& link) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"EraseCombinedImage winUSBHandle NULL\n");
    return 0;
  }
  std::uint32_t transferred = 0;
  const bool ok = Transfer(link, Out(kRequestErase, 0), nullptr, &transferred);
  if (!ok) {
    DebugPrint(1, L"EraseCombinedImage:: WinUsb_ControlTransfer failed %d\r\n",
               static_cast<int>(Sys().GetLastError()));
  }
  // The camera erases after it has answered; the pause is kept whatever the driver reported.
  Sys().Sleep(kErasePauseMs);
  return ok ? 1 : 0;  // the count the driver reports is not examined
}

int SendDataMCUVerifyFlashRequest(DfuLink& link) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"SendDataMCUVerifyFlashRequest:: Invalid Handle ++\n");
    return 0;
  }
  return SendNoData(link, Out(kRequestMcuVerify, 0));
}

int ReadMCUVerifyStatus(DfuLink& link, DfuStatus* status) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"ReadMCUVerifyStatus:: Invalid Handle ++\n");
    return 0;
  }
  if (ReadStatusRecord(link, kRequestMcuVerifyStatus, L"ReadMCUVerifyStatus", status) == 0) {
    return 0;
  }
  return status != nullptr && status->bStatus != 0 && status->bState == kMcuVerifiedState ? 1 : 0;
}

int SendDataFGPAVerifyFlashRequest(DfuLink& link) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"SendDataFGPAVerifyFlashRequest:: Invalid Handle ++\n");
    return 0;
  }
  return SendNoData(link, Out(kRequestFpgaVerify, 0));
}

int ReadFPGAVerifyStatus(DfuLink& link, DfuStatus* status) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"ReadFPGAVerifyStatus:: Invalid Handle ++\n");
    return 0;
  }
  if (ReadStatusRecord(link, kRequestFpgaVerifyStatus, L"ReadFPGAVerifyStatus", status) == 0) {
    return 0;
  }
  return status != nullptr && status->bStatus != 0 && status->bState == kFpgaVerifiedState ? 1 : 0;
}

int SendDeviceResetCommand(DfuLink& link) {
  if (HandleInvalid(link)) {
    DebugPrint(1, L"SendDeviceResetCommand:: Invalid Handle ++\n");
    return 0;
  }
  return SendNoData(link, Out(kRequestDeviceReset, 0, kDeviceResetIndex));
}

void ReleaseDfuHandles(DfuLink& link) {
  const Handle bound = link.winUSBHandle.exchange(kNullHandle);
  if (bound != kNullHandle && bound != kInvalidHandle) {
    Usb().WinUsbFree(bound);
  }
  const Handle device = link.deviceHandle.exchange(kNullHandle);
  if (device != kNullHandle && device != kInvalidHandle) {
    // The Cypress handle must not name a closed handle (the system may give its number to the
    // next open).
    Handle named = device;
    link.lastOpenedHandle.compare_exchange_strong(named, kNullHandle);
    Usb().CloseDevice(device);
  }
}

void CloseFx3Handle(DfuLink& link) {
  const Handle handle = link.lastOpenedHandle.exchange(kNullHandle);
  if (handle != kNullHandle && handle != kInvalidHandle && handle != link.deviceHandle.load()) {
    Usb().CloseDevice(handle);
  }
}

}  // namespace veltra
