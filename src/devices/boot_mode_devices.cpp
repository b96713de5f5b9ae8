// DeviceConnect: the second discovery pass, over every present USB device. It finds the cameras
// that sit in their update mode and the chip vendors' boot loaders (none of them is a video
// capture device) by their hardware ID, and appends a record for each, named after its device
// description and its place on the USB tree.
#include <cstring>
#include <memory>

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_observer.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/id_text.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// Where the root-hub port and the hub's port stand in a location path such as
// PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1).
constexpr std::size_t kPortCharIndex = 36;
constexpr std::size_t kHubCharIndex = 43;

// Size query, buffer, read; the first string of the value goes into `text` (cut to fit; empty
// when the value cannot be read). False only when the buffer could not be allocated.
bool ReadFirstString(DeviceInterfaceSet& set, std::uint32_t property, wchar_t (&text)[kPathChars],
                     bool traceSizeQuery) {
  const SetupCall size = set.GetRegistryProperty(property, nullptr, 0);
  if (traceSizeQuery) {
    DebugPrint(1, L"SPDRP_HARDWAREID GetLastError() = %d\r\n", static_cast<int>(size.lastError));
  }
  auto buffer = AllocateChars(size.requiredChars);
  if (buffer == nullptr) {
    return false;
  }
  if (!set.GetRegistryProperty(property, buffer.get(), size.requiredChars).ok) {
    buffer[0] = L'\0';
  }
  CopyText(text, buffer.get());
  return true;
}

// The interface's device path. False when the buffer could not be allocated or the read failed
// (lastError: what Windows said).
enum class DetailRead { kOk, kNoMemory, kFailed };
DetailRead ReadInterfacePath(DeviceInterfaceSet& set, std::unique_ptr<wchar_t[]>* path,
                             std::uint32_t* lastError) {
  const SetupCall size = set.GetInterfaceDetail(nullptr, 0);
  *path = AllocateChars(size.requiredChars);
  if (*path == nullptr) {
    return DetailRead::kNoMemory;
  }
  const SetupCall read = set.GetInterfaceDetail(path->get(), size.requiredChars);
  if (!read.ok) {
    *lastError = read.lastError;
    return DetailRead::kFailed;
  }
  return DetailRead::kOk;
}

// "<description>_USB_<port>_HUB_<hub>". A location path too short to hold the port or the hub
// gives port '0' and hub 0 for the missing part (a device on a root-hub port has no hub part).
void NameAfterPosition(DeviceRecord& record, const wchar_t* location) {
  const std::size_t length = std::wcslen(location);
  const wchar_t port[2] = {length > kPortCharIndex ? location[kPortCharIndex] : L'0', L'\0'};
  int hub = 0;
  if (length > kHubCharIndex && location[kHubCharIndex] >= L'0') {
    hub = location[kHubCharIndex] - L'0';
  }
  wchar_t description[kPathChars];
  CopyText(description, record.friendlyName);
  FormatText(record.friendlyName, kPathChars, L"%ls_USB_%ls_HUB_%d", description, port, hub);
}

enum class Step { kNext, kRecorded, kAbort, kDetailFailed };

// One present USB device at `index` (its interface is current). Appends its record when it is in
// update or boot-loader mode.
Step VisitUsbDevice(DeviceInterfaceSet& set, std::uint32_t index, std::uint32_t* lastError) {
  wchar_t property[kPathChars] = {};
  wchar_t message[kPathChars] = {};
  if (!set.EnumDeviceInfo(index)) {
    RawTrace(L"DeviceConnect: Device not found \r\n");
    return Step::kNext;
  }
  if (!ReadFirstString(set, kSpdrpHardwareId, property, true)) {
    return Step::kAbort;
  }
  FormatText(message, kPathChars, L"DLL VID & PID = %ls \r\n", property);
  RawTrace(message);
  if (FindMatchDFUDevice(property) != 1) {
    RawTrace(L"DeviceConnect: Device not found \r\n");
    return Step::kNext;
  }
  const int count = Controller().List().nDeviceCount;
  if (count < 0 || count >= kMaxDevices) {
    // The table has no slot left: the device is not listed.
    DebugPrint(1, L"Device table full: %ls not listed\r\n", property);
    return Step::kNext;
  }

  if (!ReadFirstString(set, kSpdrpLocationPaths, property, false)) {
    return Step::kAbort;
  }
  FormatText(message, kPathChars, L"DLL VID & PID = %ls \r\n", property);
  RawTrace(message);

  std::unique_ptr<wchar_t[]> path;
  switch (ReadInterfacePath(set, &path, lastError)) {
    case DetailRead::kOk:
      break;
    case DetailRead::kNoMemory:
      return Step::kAbort;
    case DetailRead::kFailed:
      return Step::kDetailFailed;
  }

  DeviceRecord& record = Controller().List().DeviceTable[count];
  std::memset(&record, 0, sizeof record);
  CopyText(record.devicePath, path.get());
  wchar_t upperPath[kPathChars];
  CopyText(upperPath, path.get());
  GetVidPid(upperPath, record.vidText, record.pidText);
  set.GetRegistryProperty(kSpdrpDeviceDesc, record.friendlyName, kPathChars);
  record.friendlyName[kPathChars - 1] = L'\0';
  NameAfterPosition(record, property);
  Controller().List().nDeviceCount = count + 1;
  return Step::kRecorded;
}

}  // namespace

void GetVidPid(wchar_t* text, wchar_t* vid, wchar_t* pid) {
  RawTrace(L"GetVidPid ++\r\n");
  UpperInPlace(text);
  if (const wchar_t* digits = PastMarker(text, L"VID_", 4)) {
    CopyChars(vid, kIdTextChars, digits, 4);
  }
  if (const wchar_t* digits = PastMarker(text, L"PID_", 4)) {
    CopyChars(pid, kIdTextChars, digits, 4);
  }
  RawTrace(L"GetVidPid --\r\n");
}

int FindMatchDFUDevice(const wchar_t* hardwareId) {
  RawTrace(L"FindMatchDFUDevice ++\r\n");
  DebugPrint(1, L"FindMatchDevice DeviceIDFromRegistry = %ls\r\n",
             hardwareId != nullptr ? hardwareId : L"");
  wchar_t text[kPathChars];
  CopyText(text, hardwareId);
  wchar_t vid[kIdTextChars] = {};
  wchar_t pid[kIdTextChars] = {};
  GetVidPid(text, vid, pid);

  if (DeviceRules().InUsbDevicePass(vid, pid)) {
    return 1;
  }
  RawTrace(L"FindMatchDFUDevice --\r\n");
  return 0;
}

int DeviceConnect(UpdateObserver& view) {
  try {
    int found = 0;
    std::unique_ptr<DeviceInterfaceSet> set =
        Discovery().OpenInterfaceSet(InterfaceSetClass::kUsbDevice);
    if (set == nullptr) {
      return 0;
    }
    for (std::uint32_t index = 0; index < kMaxEnumerationIndex && set->EnumInterface(index);
         ++index) {
      std::uint32_t lastError = 0;
      switch (VisitUsbDevice(*set, index, &lastError)) {
        case Step::kNext:
          break;
        case Step::kRecorded:
          ++found;
          break;
        case Step::kAbort:
          return 0;  // records already appended stay
        case Step::kDetailFailed:
          set.reset();
          DebugPrint(1, L"DeviceConnect: SetupDiGetDeviceInterfaceDetail failed, error %u\r\n",
                     static_cast<unsigned>(lastError));
          view.OnFailure(FailedStep::kInterfaceDetail, lastError);
          return 0;
      }
    }
    return found > 0 ? 1 : 0;
  } catch (...) {
    RawTrace(L"Exception DeviceConnect...\r\n");
    return 0;
  }
}

}  // namespace veltra
