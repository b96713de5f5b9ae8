// <windows.h> for the adapters. Windows maps several function names to their A/W variants with
// macros; where a port operation has the same name (System::GetModuleFileName,
// DialogView::MessageBox, ...) the macro would rename the adapter's method in one file and not
// in another. The adapters call the W functions by their full names, so those macros go.
#pragma once

#include <windows.h>

#undef GetModuleFileName
#undef GetFileAttributes
#undef MessageBox
#undef RegisterDeviceNotification
