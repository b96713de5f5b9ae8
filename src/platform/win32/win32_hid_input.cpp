#include "platform/win32/win32_hid_input.h"

#include "platform/win32/win32_windows.h"
// The HID and SetupAPI headers need the Windows types declared first; mingw-w64's HID headers
// declare hid.dll's functions without C linkage of their own.
#include <cfgmgr32.h>
#include <setupapi.h>
extern "C" {
// clang-format off
#include <hidsdi.h>
#include <hidpi.h>
// clang-format on
}

#include <cstddef>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_interface_walk.h"
#include "platform/win32/win32_system.h"

namespace veltra {

namespace {

// The HID interfaces looked at for the device: far more than a desk has.
constexpr DWORD kMaxHidInterfaces = 256;

// One read handle as the program holds it: the interface opened for overlapped reads, the event
// its reads wait on, and a buffer of the interface's input report length.
struct HidReader {
  UniqueHandle file;
  UniqueHandle event;
  std::vector<std::uint8_t> buffer;
};

HidReader* ReaderOf(Handle input) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the handle is the reader this adapter made
  return input == kNullHandle ? nullptr : reinterpret_cast<HidReader*>(input);
}

bool SameText(const wchar_t* a, const wchar_t* b) {
  for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
    if (std::towupper(*a) != std::towupper(*b)) {
      return false;
    }
  }
  return *a == *b;
}

// The instance ID of a USB device from its device interface path: "\\?\usb#vid_x&pid_y#inst#{...}"
// names "USB\VID_x&PID_y\inst". Empty when the path has another form.
std::wstring InstanceIdOfUsbPath(const wchar_t* path) {
  std::wstring text(path);
  for (auto& c : text) {
    c = static_cast<wchar_t>(std::towupper(c));
  }
  const std::wstring prefix = L"\\\\?\\USB#";
  if (text.compare(0, prefix.size(), prefix) != 0) {
    return L"";
  }
  const std::size_t ids = prefix.size();
  const std::size_t first = text.find(L'#', ids);
  const std::size_t second = first == std::wstring::npos ? first : text.find(L'#', first + 1);
  if (second == std::wstring::npos || second == first + 1) {
    return L"";
  }
  return L"USB\\" + text.substr(ids, first - ids) + L"\\" +
         text.substr(first + 1, second - first - 1);
}

// Whether the device of a HID interface is a child of the USB device with that instance ID.
bool ChildOf(DEVINST device, const std::wstring& parentId) {
  DEVINST parent = 0;
  if (::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS) {
    return false;
  }
  wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
  if (::CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
    return false;
  }
  return SameText(id, parentId.c_str());
}

// The length of the interface's input reports, report ID included (0 when it cannot be read).
DWORD InputReportLength(HANDLE file) {
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (::HidD_GetPreparsedData(file, &preparsed) == FALSE) {
    return 0;
  }
  HIDP_CAPS caps{};
  const NTSTATUS status = ::HidP_GetCaps(preparsed, &caps);
  ::HidD_FreePreparsedData(preparsed);
  return status == HIDP_STATUS_SUCCESS ? caps.InputReportByteLength : 0;
}

// Opens the interface at path for overlapped reads. Null when it cannot be opened (another
// handle may hold it without sharing).
HidReader* OpenForReading(const wchar_t* path) {
  UniqueHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
  if (!file.Valid()) {
    NoteOpenFailure();
    return nullptr;
  }
  const DWORD length = InputReportLength(file.Get());
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (length == 0 || !event.Valid()) {
    return nullptr;
  }
  // Reports that came before this handle asked for them belong to no command of the program.
  ::HidD_FlushQueue(file.Get());
  auto* reader = new HidReader{std::move(file), std::move(event), {}};
  reader->buffer.resize(length);
  return reader;
}

}  // namespace

Handle Win32HidInput::OpenHidInput(const wchar_t* parentDevicePath) {
  const std::wstring parentId =
      parentDevicePath != nullptr ? InstanceIdOfUsbPath(parentDevicePath) : std::wstring();
  if (parentId.empty()) {
    return kNullHandle;
  }
  GUID hidGuid{};
  ::HidD_GetHidGuid(&hidGuid);
  HidReader* reader = nullptr;
  ForEachPresentInterface(
      hidGuid, kMaxHidInterfaces,
      [&reader, &parentId](HDEVINFO, SP_DEVINFO_DATA& device, const wchar_t* path) {
        if (!ChildOf(device.DevInst, parentId)) {
          return false;
        }
        reader = OpenForReading(path);
        return true;  // the device's one HID interface: opened or not, no other is its
      });
  return reinterpret_cast<Handle>(reader);
}

void Win32HidInput::CloseHidInput(Handle input) {
  delete ReaderOf(input);
}

std::uint32_t Win32HidInput::ReadInputReport(Handle input, std::uint8_t* report,
                                             std::uint32_t length, std::uint32_t timeoutMs) {
  HidReader* reader = ReaderOf(input);
  if (reader == nullptr || report == nullptr || length == 0) {
    return 0;
  }
  OVERLAPPED overlapped{};
  overlapped.hEvent = reader->event.Get();
  ::ResetEvent(overlapped.hEvent);
  DWORD read = 0;
  HANDLE file = reader->file.Get();
  if (::ReadFile(file, reader->buffer.data(), static_cast<DWORD>(reader->buffer.size()), &read,
                 &overlapped) == FALSE) {
    if (::GetLastError() != ERROR_IO_PENDING) {
      return 0;
    }
    if (::WaitForSingleObject(overlapped.hEvent, timeoutMs) != WAIT_OBJECT_0) {
      // Nothing came in time: the read is called off, and waited for, before its buffer and
      // OVERLAPPED go out of use (CancelIo: issued and cancelled on this thread).
      ::CancelIo(file);
      ::GetOverlappedResult(file, &overlapped, &read, TRUE);
      return 0;
    }
    if (::GetOverlappedResult(file, &overlapped, &read, FALSE) == FALSE) {
      return 0;
    }
  }
  // The adapter's buffer takes the whole report, as ReadFile demands; the caller gets its start.
  DWORD copied = read < length ? read : length;
  if (copied > reader->buffer.size()) {
    copied = static_cast<DWORD>(reader->buffer.size());
  }
  for (DWORD i = 0; i < copied; ++i) {
    report[i] = reader->buffer[i];
  }
  return copied;
}

}  // namespace veltra
