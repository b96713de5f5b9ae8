// Resource, control, timer and message identifiers of the program's windows. They belong to the
// application: its presenter, the resource script and the Windows dialog adapter read them (the
// layers below report to the presenter instead); plain macros so that the resource compiler reads
// them too.
#pragma once

// Strings, menu, accelerators, icons.
#define IDS_APP_TITLE 103
#define IDC_VELTRA_FW_UPDATER 109
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_DIALOG_PICTURE 134
#define IDI_APP_ICON 136

// Dialogs.
#define IDD_MAIN_DIALOG 129
#define IDD_CONFIRM_DIALOG 130
#define IDD_WARNING_DIALOG 143
#define IDD_ERROR_DIALOG 144

// Controls of the main dialog.
#define IDC_EDIT_FIRMWARE_PATH 1000
#define IDC_STATIC_SELECT_FILE 1001
#define IDC_BTN_BROWSE 1002
#define IDC_PROGRESS_BAR 1003
#define IDC_STATIC_STATUS 1004
#define IDC_BTN_READFW_VERSION 1005
#define IDC_BTN_FW_UPDATE 1006
#define IDC_STATIC_UPDATING 1007
#define IDC_STATIC_NO_DEVICE 1008
#define IDC_STATIC_CONNECTED 1009
#define IDC_BTN_EXIT 1010
#define IDC_COMBO_DEVICELIST 1012
#define IDC_STATIC_MODE_SWITCH 1018
#define IDC_BTN_RESET 1024
#define IDC_STATIC_VERSION 1025
#define IDC_STATIC_PUBLISHER 1027
#define IDC_PICTURE 1029
// OK of the confirmation and Warning dialogs.
#define IDC_BTN_CONFIRM_OK 1020

// Timers of the main dialog.
#define IDT_BLINK_ERASE 1
#define IDT_TIMER_FOR_HD_ISSUE 2
#define IDT_BLINK_VERIFY 3
#define IDT_WARNING_TIMEOUT 4

// Application messages sent to the main dialog.
#define WM_APP_ERASE_START 0x8004
#define WM_APP_PROGRESS 0x8005
#define WM_APP_UPDATE_DONE 0x8006
#define WM_APP_PERCENT 0x8007
// Posted, so that the dialog handles them after what it is doing (a list rebuild): a boot ROM's
// take-over met a problem to tell the user, and a boot-loader thread ended.
#define WM_APP_LOADER_NOTICE 0x8008
#define WM_APP_LOADER_ENDED 0x8009
// Posted when the vendor library's download thread has ended: the device list is rebuilt.
#define WM_APP_LIBRARY_ENDED 0x800A
