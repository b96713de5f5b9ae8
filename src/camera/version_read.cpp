// The firmware version read of the selected camera, run on the refresher thread when READ F/W
// VERSION was pressed. Three camera families answer their own version calls; every camera is
// then also asked through the generic extension unit, and a camera without one is tried as a
// CX3 camera over its HID command reports.
#include "camera/version_read.h"

#include <cstddef>

#include "camera/selected_device.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "devices/device_rules.h"
#include "platform/ports.h"

namespace veltra {

using namespace camera;  // this folder's own helpers

namespace {

constexpr std::size_t kMessageChars = 520;
constexpr std::size_t kReplyBytes = 64;

constexpr wchar_t kVersionFailed[] = L"Firmware Version Failed";

constexpr wchar_t kPescaFormat[] = L"Firmware Version = %d.%d.%d.%d";
constexpr wchar_t kTarsaFormat[] = L"Firmware Version : 20%d.%d.%d, Version : %d";
constexpr wchar_t kMirelFormat[] = L"Firmware Version : %d.%d.%d";
constexpr wchar_t kMakerFormat[] = L"Firmware Version = %d.%d.%d.%d\r\n";
constexpr wchar_t kCx3Format[] =
    L"CX3 firmware version = %d.%d\nCX3 firmware build date = %d-%d-%d (MM-DD-YY)\n\n"
    L"ISP firmware version = 0x%x.0x%x (%d.%d)\nISP firmware Build date = %ls \n"
    L"ISP firmware Build time = %ls \n";

// The selector the Pesca version call takes.
constexpr std::int32_t kPescaVersionSelector = 7;

// CX3 command reports: byte 0 is the command, 3 bytes are sent. Replies carry a status in byte 1
// (0 = ready) and are polled every 10 ms, at most 100 times per query.
constexpr std::uint8_t kCx3VersionQuery = 0xBB;
constexpr std::uint8_t kIspVersionQuery = 0xCC;
constexpr std::int32_t kQueryLength = 3;
constexpr int kMaxReplyPolls = 100;
constexpr std::uint32_t kReplyPollMs = 10;
constexpr std::size_t kStatusByte = 1;
// Offsets of the ISP reply's two texts.
constexpr std::size_t kIspDateOffset = 4;
constexpr std::size_t kIspTimeOffset = 16;

// Tells the user a version text and copies it to the debugger channel.
void ShowVersion(UpdateObserver& view, const wchar_t* text, Notice notice) {
  view.OnNotice(notice, text);
  Sys().DebugOutput(text);
}

// The reply's NUL-terminated 8-bit text from offset, widened character by character. The text is
// cut at the end of the 64-byte reply when it carries no terminator.
template <std::size_t N>
void ReplyText(const std::uint8_t (&reply)[kReplyBytes], std::size_t offset, wchar_t (&out)[N]) {
  static_assert(N > kReplyBytes, "room for a whole reply and the terminator");
  std::size_t n = 0;
  for (std::size_t i = offset; i < kReplyBytes && reply[i] != 0; ++i) {
    out[n++] = static_cast<wchar_t>(reply[i]);
  }
  out[n] = L'\0';
}

void ReadFamilyVersions(UpdateObserver& view, const SelectedCamera& camera) {
  const DeviceRule& product = DeviceRules().LookupProduct(camera.record.pidText);
  wchar_t text[kMessageChars];

  if (product.family == DeviceFamily::kPesca && product.mode == DeviceMode::kNormal) {
    // The first answer of a Pesca camera may be stale; only the second call's bytes are shown,
    // and it is made only after the first succeeded.
    std::uint8_t version[4] = {};
    if (CameraLib().GetPescaFirmwareVersion(kPescaVersionSelector, version) != 0 &&
        CameraLib().GetPescaFirmwareVersion(kPescaVersionSelector, version) != 0) {
      FormatText(text, kMessageChars, kPescaFormat, int{version[0]}, int{version[1]},
                 int{version[2]}, int{version[3]});
      ShowVersion(view, text, Notice::kFirmwareVersion);
    }
  }
  if (product.family == DeviceFamily::kTarsa) {
    std::uint8_t version[4] = {};
    if (CameraLib().GetTarsaFirmwareVersion(version) != 0) {
      FormatText(text, kMessageChars, kTarsaFormat, int{version[0]}, int{version[1]},
                 int{version[2]}, int{version[3]});
      ShowVersion(view, text, Notice::kFirmwareVersion);
    }
  }
  if (product.family == DeviceFamily::kMirel) {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint16_t build = 0;
    if (CameraLib().GetFirmwareVersionMirel(&major, &minor, &build) != 0) {
      FormatText(text, kMessageChars, kMirelFormat, int{major}, int{minor}, int{build});
      ShowVersion(view, text, Notice::kFirmwareVersion);
    }
  }
}

// Sends one query and polls for its reply. False when a reply could not be read (the route ends
// silently); true otherwise, also when the status never turned ready.
bool QueryCx3(std::uint8_t command, std::uint8_t (&reply)[kReplyBytes]) {
  // The command report: the command in byte 0, bytes 1 and 2 zero, the layout the camera expects
  // for both queries.
  std::uint8_t report[4] = {command, 0, 0, 0};
  CameraLib().SetHidReport(report, kQueryLength);
  for (int poll = 0; poll < kMaxReplyPolls; ++poll) {
    Sys().Sleep(kReplyPollMs);
    if (CameraLib().GetHidReport(reply) != 1) {
      return false;
    }
    if (reply[kStatusByte] == 0) {
      break;
    }
  }
  return true;
}

void ReadCx3Version(UpdateObserver& view) {
  if (CameraLib().SetPreparseDataAndAttributes() == 0) {
    DebugPrint(1, L"IDC_BTN_READFW_VERSION SetPreparseDataAndAttributes \r\n");
    return;
  }
  std::uint8_t cx3[kReplyBytes] = {};
  const std::int32_t state = CameraLib().DevicestateCX3SNI(cx3);
  if (state != 0) {
    DebugPrint(1, L"DevicestateCX3SNI uDeviceStatus = %d\r\n", state);
    return;
  }
  std::uint8_t isp[kReplyBytes] = {};
  if (!QueryCx3(kCx3VersionQuery, cx3)) {
    return;
  }
  if (!QueryCx3(kIspVersionQuery, isp)) {
    return;
  }
  if (cx3[kStatusByte] != 0 || isp[kStatusByte] != 0) {
    return;
  }

  wchar_t buildDate[kReplyBytes + 1];
  wchar_t buildTime[kReplyBytes + 1];
  ReplyText(isp, kIspDateOffset, buildDate);
  ReplyText(isp, kIspTimeOffset, buildTime);
  wchar_t text[kMessageChars];
  FormatText(text, kMessageChars, kCx3Format, int{cx3[2]}, int{cx3[3]}, int{cx3[4]}, int{cx3[5]},
             int{cx3[6]}, int{isp[2]}, int{isp[3]}, int{isp[2]}, int{isp[3]}, buildDate, buildTime);
  ShowVersion(view, text, Notice::kCx3Version);
}

// Every camera is asked through the generic extension unit too: the maker's cameras answer
// there, other vendors' cameras with the unit stay silent, and a camera without it is tried as a
// CX3 camera.
void ReadExtensionUnitVersion(UpdateObserver& view, const SelectedCamera& camera) {
  if (CameraLib().InitExtensionUnit(camera.record.devicePath) == 0) {
    ReadCx3Version(view);
    return;
  }
  if (DeviceRules().VendorOf(camera.record.vidText) != DeviceVendor::kMaker) {
    return;
  }

  std::uint8_t v1 = 0;
  std::uint8_t v2 = 0;
  std::uint16_t v3 = 0;
  std::uint16_t v4 = 0;
  if (CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4) == 0) {
    view.OnNotice(Notice::kFirmwareVersion, kVersionFailed);
    return;
  }
  wchar_t text[kMessageChars];
  FormatText(text, kMessageChars, kMakerFormat, int{v1}, int{v2}, int{v3}, int{v4});
  ShowVersion(view, text, Notice::kFirmwareVersion);
}

}  // namespace

void GetFirmwarVersion(UpdateObserver& view, const SelectedCamera& camera) {
  try {
    view.OnVersionReadAllowed(false);
    DebugPrint(1, L"Current selected index = %d \r\n", camera.index);
    CameraLib().DeinitExtensionUnit();

    ReadFamilyVersions(view, camera);
    ReadExtensionUnitVersion(view, camera);

    view.OnVersionReadAllowed(true);
    Controller().Commands().bReadVersionBusy = 0;
  } catch (...) {
    // The button stays disabled and the busy flag set: the read did not finish.
    DebugPrint(1, L"GetFirmwarVersion exception\r\n");
  }
}

}  // namespace veltra
