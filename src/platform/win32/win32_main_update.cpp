// veltra-update.exe's entry: a console program (see src/console). The DLL search is restricted,
// the Windows ports are installed, the single-instance claim shared with the dialog is taken, and
// the cameras are updated by the program's own dialog procedures on the window-less dialog
// (console/dialog_driver.h), this thread being the dialog's: a hidden window of its own receives
// the device notifications the dialog registers for. The run's exit code is the process's.
// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include <objbase.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <ostream>

#include "app/dialog_observer.h"
#include "app/shown_controls.h"
#include "console/console_dialog.h"
#include "console/console_run.h"
#include "console/dialog_driver.h"
#include "console/exit_codes.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "platform/ports.h"
#include "platform/win32/win32_camera_library.h"
#include "platform/win32/win32_dialog_host.h"
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_hid_input.h"
#include "platform/win32/win32_main_update_entry.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_usb_transport.h"
#include "platform/win32/win32_vendor_library.h"

namespace {

int RunOnWindows(const veltra::console::Options& options, veltra::console::RunPorts ports) {
  using namespace veltra;
  SingleInstance instance;
  if (!instance.Claim()) {
    std::cerr << "veltra-update: the updater's dialog or another veltra-update is running; "
                 "nothing was written\n";
    return console::kExitRefused;
  }
  // Static: the process ends with the ports standing, as the dialog's does (ExitProcess below).
  static Win32System system;
  std::FILE* log = nullptr;
  if (!options.logPath.empty()) {
    log = OpenLogFile(options.logPath);
    if (log == nullptr) {
      std::cerr << "veltra-update: cannot write the log " << options.logPath << '\n';
      return console::kExitUsage;
    }
    system.CopyTraceTo(log);
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the capture-device walk is COM

  static Win32UsbTransport usb;
  static Win32CameraLibrary camera;
  static Win32VendorLibrary vendor;
  static Win32Discovery discovery;
  static Win32HidInput hidInput;
  // What a person at the window would have seen goes nowhere: the console says it instead.
  static std::ostream nowhere(nullptr);
  static Win32DialogHost host;
  static console::ConsoleDialog dialog(nowhere, true, host);
  static ShownControls shown(dialog);
  Controller().Reset();
  ConnectToDialog(CurrentUpdate());
  Ports set;
  set.dialog = &shown;
  set.system = &system;
  set.usb = &usb;
  set.camera = &camera;
  set.vendor = &vendor;
  set.discovery = &discovery;
  set.hidInput = &hidInput;
  InstallPorts(set);

  static console::DialogDriver driver(dialog, shown, host);
  driver.SetDeniedCount(&AccessRefusals);
  ports.driver = &driver;
  ports.seconds = [] { return static_cast<double>(GetTickCount64()) / 1000.0; };
  const int code = console::RunConsole(options, ports);
  if (log != nullptr) {
    std::fflush(log);
  }
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  veltra::RestrictDllSearchPath();
  const int code = veltra::UpdateEntry(argc, argv, &RunOnWindows);
  // As the dialog's entry: the process ends with the ports standing.
  ExitProcess(static_cast<UINT>(code));
}
