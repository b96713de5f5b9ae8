// veltra-update.exe's entry: a console program (see src/console). The DLL search is restricted,
// the Windows ports are installed, the single-instance claim shared with the dialog is taken, and
// the run's exit code is the process's.
// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include <objbase.h>

#include <iostream>
#include <string>
#include <vector>

#include "console/console_run.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "console/listing_driver.h"
#include "console/message_view.h"
#include "platform/ports.h"
#include "platform/win32/win32_camera_library.h"
#include "platform/win32/win32_console_interrupt.h"
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_hid_input.h"
#include "platform/win32/win32_sha256.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_usb_transport.h"
#include "platform/win32/win32_vendor_library.h"

int wmain(int argc, wchar_t** argv) {
  using namespace veltra;
  veltra::RestrictDllSearchPath();
  // The arguments in UTF-8, as the console logic reads them.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(console::Utf8(argv[i]));
  }
  console::Options options;
  std::string text;
  switch (console::ParseCommandLine(args, &options, &text)) {
    case console::Parsed::kHelp:
      std::cout << text;
      return console::kExitUpdated;
    case console::Parsed::kError:
      std::cerr << "veltra-update: " << text << '\n' << console::kUsageHint;
      return console::kExitUsage;
    case console::Parsed::kRun:
      break;
  }
  if (!options.logPath.empty()) {
    // The trace goes to the debugger channel in this build; said, so nobody waits for a file.
    std::cerr << "veltra-update: --log: this build writes no trace file yet\n";
  }
  SingleInstance instance;
  if (!instance.Claim()) {
    std::cerr << "veltra-update: the updater's dialog or another veltra-update is running; "
                 "nothing was written\n";
    return console::kExitRefused;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the capture-device walk is COM

  Win32System system;
  Win32UsbTransport usb;
  Win32CameraLibrary camera;
  Win32VendorLibrary vendor;
  Win32Discovery discovery;
  Win32HidInput hidInput;
  console::MessageView messages(std::cerr);
  Ports set;
  set.dialog = &messages;
  set.system = &system;
  set.usb = &usb;
  set.camera = &camera;
  set.vendor = &vendor;
  set.discovery = &discovery;
  set.hidInput = &hidInput;
  InstallPorts(set);

  console::ListingDriver driver;
  Win32Sha256 sha256;
  console::RunPorts ports;
  ports.driver = &driver;
  ports.sha256 = &sha256;
  ports.seconds = [] { return static_cast<double>(GetTickCount64()) / 1000.0; };
  ports.stop = &InstallConsoleInterrupt();
  ports.out = &std::cout;
  ports.err = &std::cerr;
  const int code = console::RunConsole(options, ports);
  std::cout.flush();
  std::cerr.flush();
  // As the dialog's entry: the process ends with the ports standing.
  ExitProcess(static_cast<UINT>(code));
}
