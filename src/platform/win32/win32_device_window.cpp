#include "platform/win32/win32_device_window.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <dbt.h>
// clang-format on

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/win32_device_change.h"

namespace veltra {

namespace {

constexpr wchar_t kClassName[] = L"VeltraUpdateDevices";

}  // namespace

Win32DeviceWindow::Win32DeviceWindow() {
  static const ATOM windowClass = [] {
    WNDCLASSEXW made = {};
    made.cbSize = sizeof made;
    made.lpfnWndProc = &Procedure;
    made.hInstance = GetModuleHandleW(nullptr);
    made.lpszClassName = kClassName;
    return RegisterClassExW(&made);
  }();
  if (windowClass == 0) {
    return;
  }
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

Win32DeviceWindow::~Win32DeviceWindow() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK Win32DeviceWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = reinterpret_cast<Win32DeviceWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_DEVICECHANGE && self != nullptr) {
    // The broadcast lives only as long as this call: the record copies what it needs. Every
    // change goes to the program, which picks what it reads, as the dialog's procedure does.
    self->received_.push_back(ToDeviceChange(wParam, lParam));
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool Win32DeviceWindow::Register(DeviceInterfaceClass cls) {
  return Valid() && RegisterInterfaceNotification(reinterpret_cast<Handle>(window_), cls);
}

void Win32DeviceWindow::PumpMessages() {
  // Every message of the thread: the sent WM_DEVICECHANGE reaches the window's procedure while
  // the thread looks, and the thread's COM apartment is served too.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32DeviceWindow::Take(std::deque<DeviceChange>* into) {
  PumpMessages();
  while (!received_.empty()) {
    into->push_back(std::move(received_.front()));
    received_.pop_front();
  }
}

bool Win32DeviceWindow::Wait(std::uint32_t ms) {
  PumpMessages();
  if (received_.empty()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    PumpMessages();
  }
  return !received_.empty();
}

void Win32DeviceWindow::Deliver(const DeviceChange& change) {
  if (!Valid()) {
    return;
  }
  if (change.deviceType != DBT_DEVTYP_DEVICEINTERFACE) {
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = sizeof header;
    header.dbch_devicetype = change.deviceType;
    SendMessageW(window_, WM_DEVICECHANGE, change.event, reinterpret_cast<LPARAM>(&header));
    return;
  }
  // The broadcast as Windows lays it out: the interface's path follows the record, terminated.
  const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                           (change.path.size() + 1) * sizeof(wchar_t);
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
  std::memset(broadcast, 0, size);
  broadcast->dbcc_size = static_cast<DWORD>(size);
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  switch (change.cls) {
    case DeviceInterfaceClass::kHid:
      broadcast->dbcc_classguid = kHidInterfaceClass;
      break;
    case DeviceInterfaceClass::kUsbDevice:
      broadcast->dbcc_classguid = kUsbDeviceInterfaceClass;
      break;
    default:
      break;  // GUID_NULL: a class the program does not register for
  }
  std::memcpy(broadcast->dbcc_name, change.path.c_str(),
              (change.path.size() + 1) * sizeof(wchar_t));
  SendMessageW(window_, WM_DEVICECHANGE, change.event, reinterpret_cast<LPARAM>(broadcast));
}

}  // namespace veltra
