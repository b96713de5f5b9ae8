// The "Virtual camera bench" window of the demo: beside the program's dialog it lists the bench's
// cameras (where each is, its firmware version, how often it appeared) with Plug and Unplug
// buttons, and sets a fault on a camera for the next transfers.
//
// It is also the demo's bridge from the bench to the dialog: the bench's notification thread posts
// each device change here, and the window hands it to the main dialog as the WM_DEVICECHANGE
// broadcast Windows would send, on the dialog's own thread.
//
// The test driver commands the bench from its own process with WM_COPYDATA: the data is the
// command as UTF-16 text ("plug 0", "fault 1 short@3"); the result is 1 when it was carried out and
// 0 otherwise, with the reason in the window's status line.
#pragma once

// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include "demo/demo_bench.h"
#include "platform/win32/win32_dialog.h"

namespace veltra::demo {

constexpr wchar_t kBenchWindowClass[] = L"VeltraVirtualBench";
constexpr wchar_t kBenchWindowTitle[] = L"Virtual camera bench";
// WM_COPYDATA's dwData of a bench command.
constexpr ULONG_PTR kBenchCommandTag = 0x56424348;  // "VBCH"

// Private messages of the bench window (wParam / lParam as noted).
constexpr UINT kWmBenchDeviceChange = 0x8200;  // the WM_DEVICECHANGE event / 0 HID, 1 USB device
constexpr UINT kWmBenchRefresh = 0x8201;       // the bus changed: list the cameras again

// Control IDs of the bench window, for the driver and for a person's inspection tools.
constexpr int kBenchList = 100;
constexpr int kBenchPlug = 101;
constexpr int kBenchUnplug = 102;
constexpr int kBenchFaultKind = 103;
constexpr int kBenchFaultAfter = 104;
constexpr int kBenchSetFault = 105;
constexpr int kBenchStatus = 106;

// Creates the window (hidden until the main dialog shows; then it places itself beside it) and
// connects the bench's notifications to it. programDialog: the program's dialog view, which notes
// the main dialog's window when it comes up. nullptr when the window could not be made.
HWND CreateBenchWindow(HINSTANCE instance, DemoBench& bench, const Win32DialogView& programDialog);

}  // namespace veltra::demo
