// The product's entry: the DLL search is restricted before anything can load a library at run
// time, the Windows ports are installed, the program runs, and the process ends.
// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include "app/shown_controls.h"
#include "platform/ports.h"
#include "platform/win32/win32_camera_library.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_dialog_app.h"
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_hid_input.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_usb_transport.h"
#include "platform/win32/win32_vendor_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*commandLine*/,
                    int showCommand) {
  // The program runs elevated: a SunplusCamera.dll planted in the current folder must never be
  // the one it loads.
  veltra::RestrictDllSearchPath();

  // The Windows doors, standing until the process ends below (wWinMain never returns).
  veltra::Win32System system;
  veltra::Win32UsbTransport usb;
  veltra::Win32CameraLibrary camera;
  veltra::Win32VendorLibrary vendor;
  veltra::Win32Discovery discovery;
  veltra::Win32DialogView dialog;
  veltra::Win32HidInput hidInput;
  veltra::Ports set;
  set.system = &system;
  set.usb = &usb;
  set.camera = &camera;
  set.vendor = &vendor;
  set.discovery = &discovery;
  veltra::ShownControls shown(dialog);  // what the user sees, for whoever has no screen
  set.dialog = &shown;
  set.hidInput = &hidInput;
  veltra::InstallPorts(set);

  const int exitCode = veltra::RunVeltraApplication(instance, showCommand, dialog);
  // The process ends here, with the doors above still standing and nothing of the program torn
  // down: threads that nobody joins (a worker showing its message box when the dialog is closed)
  // may reach the ports and the update session until the very end.
  ExitProcess(static_cast<UINT>(exitCode));
}
