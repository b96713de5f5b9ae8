#include "platform/win32/win32_hid_input.h"

#include "platform/win32/win32_windows.h"
// The HID and SetupAPI headers need the Windows types declared first; mingw-w64's HID headers
// declare hid.dll's functions without C linkage of their own.
#include <setupapi.h>
extern "C" {
// clang-format off
#include <hidsdi.h>
#include <hidpi.h>
// clang-format on
}

#include <cstddef>
#include <cwctype>
#include <vector>

#include "platform/win32/win32_handle.h"

namespace veltra {

namespace {

// The HID interfaces looked at for the device: far more than a desk has.
constexpr DWORD kMaxHidInterfaces = 256;
// A serial string descriptor holds at most 126 characters; HidD_GetSerialNumberString takes
// bytes and never more than 4,093 of them.
constexpr std::size_t kSerialChars = 127;

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

// Whether the opened interface belongs to the device asked for.
bool IsTheDevice(HANDLE file, std::uint16_t vid, std::uint16_t pid, const wchar_t* serial) {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (::HidD_GetAttributes(file, &attributes) == FALSE || attributes.VendorID != vid ||
      attributes.ProductID != pid) {
    return false;
  }
  if (serial == nullptr || serial[0] == L'\0') {
    return true;
  }
  wchar_t found[kSerialChars] = {};
  if (::HidD_GetSerialNumberString(file, found, sizeof found - sizeof(wchar_t)) == FALSE) {
    return false;
  }
  found[kSerialChars - 1] = L'\0';
  return SameText(found, serial);
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

// Opens the interface at path for overlapped reads when it is the device asked for.
HidReader* OpenIfTheDevice(const wchar_t* path, std::uint16_t vid, std::uint16_t pid,
                           const wchar_t* serial) {
  UniqueHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
  if (!file.Valid() || !IsTheDevice(file.Get(), vid, pid, serial)) {
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

Handle Win32HidInput::OpenHidInput(std::uint16_t vid, std::uint16_t pid, const wchar_t* serial) {
  GUID hidGuid{};
  ::HidD_GetHidGuid(&hidGuid);
  HDEVINFO set =
      ::SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    return kNullHandle;
  }
  constexpr DWORD kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  HidReader* reader = nullptr;
  for (DWORD index = 0; reader == nullptr && index < kMaxHidInterfaces; ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (::SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data) == FALSE) {
      break;
    }
    DWORD required = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
    if (required <= kHeader) {
      continue;
    }
    // The detail record is DWORD-aligned; one more character keeps the path terminated.
    std::vector<DWORD> block((required + sizeof(WCHAR) + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (::SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr) !=
        FALSE) {
      reader = OpenIfTheDevice(detail->DevicePath, vid, pid, serial);
    }
  }
  ::SetupDiDestroyDeviceInfoList(set);
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
