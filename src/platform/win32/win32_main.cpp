// The product's entry: the DLL search is restricted before anything can load a library at run
// time, the Windows ports are installed, and the program runs.
// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include "platform/ports.h"
#include "platform/win32/win32_camera_library.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_dialog_app.h"
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_usb_transport.h"
#include "platform/win32/win32_vendor_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*commandLine*/,
                    int showCommand) {
  // The program runs elevated: a SunplusCamera.dll planted in the current folder must never be
  // the one it loads.
  veltra::RestrictDllSearchPath();

  static veltra::Win32System system;
  static veltra::Win32UsbTransport usb;
  static veltra::Win32CameraLibrary camera;
  static veltra::Win32VendorLibrary vendor;
  static veltra::Win32Discovery discovery;
  static veltra::Win32DialogView dialog;
  veltra::Ports set;
  set.system = &system;
  set.usb = &usb;
  set.camera = &camera;
  set.vendor = &vendor;
  set.discovery = &discovery;
  set.dialog = &dialog;
  veltra::InstallPorts(set);

  return veltra::RunVeltraApplication(instance, showCommand);
}
