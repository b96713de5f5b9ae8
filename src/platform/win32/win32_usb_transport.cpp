#include "platform/win32/win32_usb_transport.h"

#include "platform/win32/win32_windows.h"
// <winusb.h> needs the Windows types declared first.
#include <winusb.h>

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_system.h"

namespace veltra {

namespace {

// The port's constants are the Win32 values; the open must use exactly these.
static_assert(kGenericReadWrite == (GENERIC_READ | GENERIC_WRITE), "access mask");
static_assert(kShareReadWrite == (FILE_SHARE_READ | FILE_SHARE_WRITE), "share mode");
static_assert(kOpenExisting == OPEN_EXISTING, "creation disposition");
static_assert(kAttributeNormalOverlapped == (FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED),
              "flags and attributes");
static_assert(sizeof(WINUSB_SETUP_PACKET) == 8, "setup packet");

// A driver request on the FX3 boot loader carries its own 5-second time-out in the request
// record; the host waits a little longer than that before it gives the request up.
constexpr DWORD kDriverRequestWaitMs = 10000;

bool IsOpen(Handle handle) {
  return handle != kNullHandle && handle != kInvalidHandle;
}

}  // namespace

Handle Win32UsbTransport::OpenDevice(const wchar_t* path) {
  if (path == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return kInvalidHandle;
  }
  HANDLE device =
      ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    NoteOpenFailure();
    return kInvalidHandle;
  }
  return FromWin32(device);
}

void Win32UsbTransport::CloseDevice(Handle device) {
  if (IsOpen(device)) {
    ::CloseHandle(ToWin32(device));
  }
}

bool Win32UsbTransport::WinUsbInitialize(Handle device, Handle* interfaceHandle) {
  if (interfaceHandle == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  WINUSB_INTERFACE_HANDLE bound = nullptr;
  if (::WinUsb_Initialize(ToWin32(device), &bound) == FALSE) {
    return false;
  }
  *interfaceHandle = FromWin32(bound);
  return true;
}

void Win32UsbTransport::WinUsbFree(Handle interfaceHandle) {
  if (IsOpen(interfaceHandle)) {
    ::WinUsb_Free(ToWin32(interfaceHandle));
  }
}

bool Win32UsbTransport::ControlTransfer(Handle interfaceHandle, const SetupPacket& setup,
                                        std::uint8_t* data, std::uint32_t* transferred) {
  if (transferred != nullptr) {
    *transferred = 0;
  }
  // A data stage needs its buffer; WinUSB would read or write wLength bytes through it.
  if (setup.wLength != 0 && data == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  WINUSB_SETUP_PACKET packet{};
  packet.RequestType = setup.bmRequestType;
  packet.Request = setup.bRequest;
  packet.Value = setup.wValue;
  packet.Index = setup.wIndex;
  packet.Length = setup.wLength;
  ULONG count = 0;
  // No OVERLAPPED: the call returns when the transfer is over, within WinUSB's default time-out.
  const BOOL ok = ::WinUsb_ControlTransfer(ToWin32(interfaceHandle), packet, data, setup.wLength,
                                           &count, nullptr);
  if (transferred != nullptr) {
    *transferred = count;
  }
  return ok != FALSE;
}

bool Win32UsbTransport::DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                                        std::uint32_t length, std::uint32_t* returned) {
  if (returned != nullptr) {
    *returned = 0;
  }
  if (record == nullptr && length != 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // The device was opened for overlapped I/O, and DeviceIoControl on such a handle without an
  // OVERLAPPED is undefined. The request is issued overlapped and waited for here, so that the
  // caller still sees one blocking call with a bounded end.
  UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done.Valid()) {
    return false;
  }
  OVERLAPPED overlapped{};
  overlapped.hEvent = done.Get();
  HANDLE file = ToWin32(device);
  DWORD count = 0;
  BOOL ok = ::DeviceIoControl(file, ioctl, record, length, record, length, &count, &overlapped);
  if (ok == FALSE && ::GetLastError() == ERROR_IO_PENDING) {
    if (::WaitForSingleObject(done.Get(), kDriverRequestWaitMs) != WAIT_OBJECT_0) {
      // Give the request up, but wait for the driver to let go of the record before returning:
      // the caller frees it.
      ::CancelIoEx(file, &overlapped);
      ::GetOverlappedResult(file, &overlapped, &count, TRUE);
      ::SetLastError(ERROR_TIMEOUT);
      return false;
    }
    ok = ::GetOverlappedResult(file, &overlapped, &count, FALSE);
  }
  if (returned != nullptr) {
    *returned = count;
  }
  return ok != FALSE;
}

}  // namespace veltra
