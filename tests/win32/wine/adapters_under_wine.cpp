// The Windows adapters against a real Win32 implementation (Wine on the build machine, or
// Windows). It runs beside the stand-in OrloFWSW.dll, so the load-time binding through our import
// library is exercised as well. A plain console program: GoogleTest is not built for mingw.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <deque>
#include <stdexcept>
#include <string>

#include "dll_search.h"
#include "loaders/sunplus_call.h"
#include "loaders/sunplus_download.h"
#include "platform/win32/win32_camera_library.h"
#include "platform/win32/win32_device_window.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_hid_input.h"
#include "platform/win32/win32_sha256.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_usb_transport.h"
#include "platform/win32/win32_vendor_library.h"
#include "platform/win32/win32_windows.h"
#include "support/plain_checks.h"

namespace veltra {
namespace {

void ThreadsReportTheirEndAsWindowsDoes(Win32System& sys) {
  const Handle gate = sys.CreateEventObject(true, false, nullptr);
  CHECK(gate != kNullHandle);
  const Handle waiting = sys.StartThread([&sys, gate] {
    sys.WaitForObject(gate, kWaitInfinite);
    return 7u;
  });
  CHECK(waiting != kNullHandle);
  CHECK(Win32System::RunningThreads() == 1);  // what veltra-update's dialog waits on
  CHECK(sys.ThreadExitCode(waiting) == kStillActive);
  CHECK(sys.WaitThread(waiting, 0) == kWaitTimeout);
  CHECK(sys.SetEventObject(gate));
  CHECK(sys.WaitThread(waiting, 10000) == kWaitObject0);
  CHECK(sys.ThreadExitCode(waiting) == 7u);
  sys.CloseThread(waiting);
  sys.CloseEventObject(gate);

  // A body that returns STILL_ACTIVE must not look as if it were still running; one that lets an
  // exception out ends with the failure code instead of ending the process.
  const Handle still = sys.StartThread([] { return kStillActive; });
  const Handle thrower = sys.StartThread([]() -> std::uint32_t { throw std::runtime_error("x"); });
  CHECK(sys.WaitThread(still, 10000) == kWaitObject0);
  CHECK(sys.WaitThread(thrower, 10000) == kWaitObject0);
  CHECK(sys.ThreadExitCode(still) == 0u);
  CHECK(sys.ThreadExitCode(thrower) == 0x20000011u);
  CHECK(Win32System::RunningThreads() == 0);
  sys.CloseThread(still);
  sys.CloseThread(thrower);
}

void EventsKeepTheirResetMode(Win32System& sys) {
  const Handle automatic = sys.CreateEventObject(false, true, nullptr);
  CHECK(sys.WaitForObject(automatic, 0) == kWaitObject0);
  CHECK(sys.WaitForObject(automatic, 0) == kWaitTimeout);  // the wait consumed the signal

  const Handle manual = sys.CreateEventObject(true, false, nullptr);
  CHECK(sys.WaitForObject(manual, 0) == kWaitTimeout);
  CHECK(sys.SetEventObject(manual));
  CHECK(sys.WaitForObject(manual, 0) == kWaitObject0);
  CHECK(sys.WaitForObject(manual, 0) == kWaitObject0);
  CHECK(sys.ResetEventObject(manual));
  CHECK(sys.WaitForObject(manual, 0) == kWaitTimeout);
  sys.CloseEventObject(automatic);
  sys.CloseEventObject(manual);
}

void FilesAndTheExecutablePath(Win32System& sys) {
  wchar_t path[kPathChars];
  const std::uint32_t length = sys.GetModuleFileName(path, kPathChars);
  CHECK(length > 4 && length == std::wcslen(path));
  CHECK(length > 4 && _wcsicmp(path + length - 4, L".exe") == 0);

  wchar_t cut[8];
  CHECK(sys.GetModuleFileName(cut, 8) == 7u);
  CHECK(std::wcslen(cut) == 7 && std::wcsncmp(cut, path, 7) == 0);
  CHECK(sys.GetModuleFileName(cut, 0) == 0u);

  CHECK(sys.GetFileAttributes(path) != kInvalidFileAttributes);
  CHECK(sys.GetFileAttributes(L"Z:\\no\\such\\file.bin") == kInvalidFileAttributes);

  std::FILE* self = sys.OpenFile(path, "rb");
  CHECK(self != nullptr);
  if (self != nullptr) {
    char magic[2] = {};
    CHECK(std::fread(magic, 1, 2, self) == 2 && magic[0] == 'M' && magic[1] == 'Z');
    std::fclose(self);
  }
  sys.SetLastError(0);
  CHECK(sys.OpenFile(path, "rbrbrbrbrb") == nullptr);
  CHECK(sys.GetLastError() == ERROR_INVALID_PARAMETER);
  CHECK(sys.OpenFile(nullptr, "rb") == nullptr);
}

void UsbCallsFailCleanlyWithoutADevice(Win32System& sys) {
  Win32UsbTransport usb;
  sys.SetLastError(0);
  const Handle missing =
      usb.OpenDevice(L"\\\\?\\usb#vid_7e51&pid_df00#none#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  CHECK(missing == kInvalidHandle);
  CHECK(sys.GetLastError() != 0u);
  usb.CloseDevice(missing);  // must not touch an invalid handle

  // A data stage without a buffer is refused before WinUSB sees it.
  SetupPacket setup;
  setup.bmRequestType = 0xC0;
  setup.bRequest = 3;
  setup.wLength = 6;
  std::uint32_t transferred = 99;
  CHECK(!usb.ControlTransfer(kNullHandle, setup, nullptr, &transferred));
  CHECK(transferred == 0u);
  CHECK(sys.GetLastError() == ERROR_INVALID_PARAMETER);

  // An ordinary file opened like a device: the driver request is refused rather than waited for
  // without end, and WinUSB does not bind to it.
  wchar_t folder[kPathChars];
  wchar_t scratch[kPathChars];
  CHECK(::GetTempPathW(kPathChars, folder) != 0);
  CHECK(::GetTempFileNameW(folder, L"vlt", 0, scratch) != 0);
  const Handle file = usb.OpenDevice(scratch);
  CHECK(file != kInvalidHandle);
  if (file != kInvalidHandle) {
    std::uint8_t record[38 + 4] = {};
    std::uint32_t returned = 99;
    CHECK(!usb.DeviceIoControl(file, kIoctlCypressEp0Transfer, record, sizeof(record), &returned));
    CHECK(returned == 0u);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (::GetProcAddress(ntdll, "wine_get_version") == nullptr) {  // Wine has no WinUsb_Initialize
      Handle bound = kNullHandle;
      CHECK(!usb.WinUsbInitialize(file, &bound));
    }
    usb.CloseDevice(file);
  }
  ::DeleteFileW(scratch);
}

void LibrariesLoadFromTheProgramFolder() {
  CHECK(RestrictDllSearchPath());

  // The stand-in library lies beside this program; the restricted search still finds it there.
  Win32VendorLibrary vendor;
  const Handle orlo = vendor.Load(L"OrloFWSW.dll");
  CHECK(orlo != kNullHandle);
  using InitFn = std::int32_t (*)(const wchar_t*);
  void* init = vendor.GetProc(orlo, "InitExtensionUnit");
  CHECK(init != nullptr);
  if (init != nullptr) {
    InitFn call = nullptr;
    std::memcpy(&call, &init, sizeof(call));
    CHECK(call(L"\\\\?\\usb#none") == 0);
  }
  CHECK(vendor.GetProc(orlo, "NoSuchExport") == nullptr);
  vendor.Free(orlo);
  CHECK(vendor.Load(L"NoSuchLibrary.dll") == kNullHandle);
  CHECK(vendor.Load(nullptr) == kNullHandle);

  // Bound at load time: the stand-in answers "no camera".
  Win32CameraLibrary camera;
  CHECK(camera.InitExtensionUnit(L"\\\\?\\usb#none") == 0);
  CHECK(camera.IsPescaDeviceAvail(L"\\\\?\\usb#none") == 0);
  CHECK(camera.IsDFUDeviceVID(L"7E51") == 0);
  std::uint8_t reply[64] = {};
  CHECK(camera.DevicestateCX3SNI(reply) != 0);
  CHECK(camera.GetHidReport(reply) == 0);
}

// The Sunplus route's library is loaded by name at run time and every call goes through the
// program's own call mechanism (on the 32-bit build the stand-in is stdcall, which the program
// does not declare). The progress callback is ours and is called back as cdecl.
int g_sunplusProgressCalls = 0;
std::int32_t g_sunplusLastPercent = -1;
std::int32_t VELTRA_CDECL CountProgress(std::int32_t percent) {
  ++g_sunplusProgressCalls;
  g_sunplusLastPercent = percent;
  return 0;
}

template <typename Pfn>
Pfn SunplusEntry(Win32VendorLibrary& vendor, Handle library, const char* name) {
  void* address = vendor.GetProc(library, name);
  Pfn entry = nullptr;
  static_assert(sizeof(entry) == sizeof(address), "entry point sizes differ");
  std::memcpy(&entry, &address, sizeof(entry));
  return entry;
}

void TheSunplusLibraryIsCalledThroughTheAdapter() {
  Win32VendorLibrary vendor;
  const Handle library = vendor.Load(kSunplusLibraryName);
  CHECK(library != kNullHandle);
  if (library == kNullHandle) {
    return;
  }
  const auto init = SunplusEntry<PfnSunplusCam_Init>(vendor, library, kSunplusInitName);
  const auto uninit = SunplusEntry<PfnSunplusCam_UnInit>(vendor, library, kSunplusUnInitName);
  const auto flashType = SunplusEntry<PfnGet_FlashType>(vendor, library, kSunplusFlashTypeName);
  const auto download = SunplusEntry<PfnDownload_FW_Verbose>(vendor, library, kSunplusDownloadName);
  CHECK(init != nullptr && uninit != nullptr && flashType != nullptr && download != nullptr);
  CHECK(vendor.GetProc(library, "_Download_FW_Verbose@44") == nullptr);
  if (init != nullptr && uninit != nullptr && flashType != nullptr && download != nullptr) {
    std::uint8_t type = 0;
    std::uint8_t image[16] = {};
    CHECK(CallSunplus(init, 0) == 0);
    CHECK(CallSunplus(flashType, &type) == 0 && type == 2);
    CHECK(CallSunplus(download, image, 16, type, 0, 0, 0, 0, 1, 0, &CountProgress, 0) == 0);
    CHECK(g_sunplusProgressCalls == 3 && g_sunplusLastPercent == 100);
    // An argument out of its place is refused: the stand-in really reads each one.
    CHECK(CallSunplus(download, image, 16, type, 0, 0, 0, 0, 0, 0, &CountProgress, 0) != 0);
    CHECK(CallSunplus(uninit, 0) == 0);
  }
  vendor.Free(library);
}

void OwnedHandlesAreClosedOnce() {
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CHECK(event.Valid());
  const HANDLE raw = event.Get();
  UniqueHandle moved(std::move(event));
  // The moved-from owner is looked at on purpose: it must hold nothing any more.
  // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
  CHECK(!event.Valid() && moved.Get() == raw);
  moved.Reset();
  CHECK(!moved.Valid());
  CHECK(::SetEvent(raw) == FALSE);  // closed by Reset
  UniqueHandle invalid(INVALID_HANDLE_VALUE);
  CHECK(!invalid.Valid());
}

// hid.dll binds at load time, and no HID interface under the flash loader's USB device is found
// on a machine without one: nothing is opened and nothing is read.
void HidReadsFailCleanlyWithoutADevice() {
  Win32HidInput hid;
  const Handle input = hid.OpenHidInput(
      L"\\\\?\\usb#vid_7e51&pid_df02#abc1234567#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  CHECK(input == kNullHandle);
  std::uint8_t report[1016] = {};
  CHECK(hid.ReadInputReport(input, report, sizeof report, 10) == 0);
  hid.CloseHidInput(input);
}

// The dialog and veltra-update share one claim: while one copy of either holds it, no other can
// take it; once it ends, the next can.
void OneCopyOfTheDialogOrTheConsoleProgramAtATime() {
  {
    SingleInstance running;
    CHECK(running.Claim());
    SingleInstance second;
    CHECK(!second.Claim());
  }
  SingleInstance next;
  CHECK(next.Claim());
}

// SHA-256 from Windows' own provider, against the published test vector of "abc".
void Sha256ComesFromWindows() {
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  const Sha256Digest expected = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                 0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                 0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
  Sha256Digest digest{};
  Win32Sha256 sha256;
  CHECK(sha256.Digest(abc, sizeof abc, &digest));
  CHECK(digest == expected);
}

// What veltra-update.exe adds: its hidden window hands on a device change as the dialog's own
// procedure reads it, the trace is copied to the --log file in UTF-8, and a refused open is
// counted (a folder opened as a device is refused as a device without the rights would be).
void TheConsoleProgramsWindowTraceAndRefusals(Win32System& sys) {
  Win32DeviceWindow window;
  CHECK(window.Valid());
  DeviceChange sent;
  sent.event = kDbtDeviceArrival;
  sent.deviceType = kDbtDevtypDeviceInterface;
  sent.cls = DeviceInterfaceClass::kHid;
  sent.path = L"\\\\?\\hid#vid_2560&pid_c1d0&mi_02#7&1#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  window.Deliver(sent);
  std::deque<DeviceChange> got;
  window.Take(&got);
  CHECK(got.size() == 1);
  CHECK(!got.empty() && got[0].event == sent.event && got[0].deviceType == sent.deviceType &&
        got[0].cls == sent.cls && got[0].path == sent.path);

  wchar_t folder[MAX_PATH] = {};
  CHECK(GetTempPathW(MAX_PATH, folder) > 0);
  const std::wstring logPath = std::wstring(folder) + L"veltra-trace-test.log";
  std::FILE* log = _wfopen(logPath.c_str(), L"w+b");
  CHECK(log != nullptr);
  if (log != nullptr) {
    sys.CopyTraceTo(log);
    sys.DebugOutput(L"Firmware Version = 2.1.7.3 \u00e9\r\n");
    sys.CopyTraceTo(nullptr);
    sys.DebugOutput(L"not copied\r\n");
    std::rewind(log);
    char text[64] = {};
    const std::size_t read = std::fread(text, 1, sizeof text - 1, log);
    CHECK(std::string(text, read) == "Firmware Version = 2.1.7.3 \xc3\xa9\r\n");
    std::fclose(log);
    _wremove(logPath.c_str());
  }

  const std::uint64_t refusals = AccessRefusals();
  Win32UsbTransport usb;
  CHECK(usb.OpenDevice(folder) == kInvalidHandle);
  CHECK(AccessRefusals() == refusals + 1);
}

}  // namespace
}  // namespace veltra

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], veltra::kLoadSunplusArgument) == 0) {
    return veltra::LoadSunplusAsTheProgramDoes(std::strcmp(argv[2], "restricted") == 0);
  }
  veltra::Win32System sys;
  veltra::ThreadsReportTheirEndAsWindowsDoes(sys);
  veltra::EventsKeepTheirResetMode(sys);
  veltra::FilesAndTheExecutablePath(sys);
  veltra::UsbCallsFailCleanlyWithoutADevice(sys);
  veltra::LibrariesLoadFromTheProgramFolder();
  veltra::OwnedHandlesAreClosedOnce();
  veltra::HidReadsFailCleanlyWithoutADevice();
  veltra::OneCopyOfTheDialogOrTheConsoleProgramAtATime();
  veltra::Sha256ComesFromWindows();
  veltra::TheConsoleProgramsWindowTraceAndRefusals(sys);
  veltra::TheSunplusLibraryIsCalledThroughTheAdapter();
  veltra::SunplusLibraryIsFoundBesideTheProgramAndInTheSystemFolderOnly();
  return veltra::plain::Summary();
}
