// veltra-update.exe's hidden window: a message-only window of the thread that runs the dialog
// procedures, registered for the same device notifications as the dialog. Each WM_DEVICECHANGE
// it is sent becomes the DeviceChange record the dialog's own procedure makes of it, and waits
// there until the window-less dialog takes it, on that same thread.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/device_discovery.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

class Win32DeviceWindow {
 public:
  // Made on the calling thread, which alone may use it.
  Win32DeviceWindow();
  ~Win32DeviceWindow();
  Win32DeviceWindow(const Win32DeviceWindow&) = delete;
  Win32DeviceWindow& operator=(const Win32DeviceWindow&) = delete;

  bool Valid() const { return window_ != nullptr; }
  bool Register(DeviceInterfaceClass cls);
  // Handles the thread's messages that have come, then appends the device changes received.
  void Take(std::deque<DeviceChange>* into);
  // Waits up to ms for a message to the thread (a device change is sent as one), then takes
  // what came. True when a device change is waiting.
  bool Wait(std::uint32_t ms);
  // Sends the window the WM_DEVICECHANGE Windows would send for this change (the demo build hands
  // it the bench's changes so).
  void Deliver(const DeviceChange& change);

 private:
  void PumpMessages();
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  std::deque<DeviceChange> received_;
};

}  // namespace veltra
