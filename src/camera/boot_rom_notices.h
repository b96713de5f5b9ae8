// What the boot-ROM take-overs of the list rebuild hand the dialog, handled once the rebuild (or
// the notification that ran it) is over: a problem to tell the user, told once per appearance of
// the ROM and never from inside the rebuild, and the end of a boot-loader thread.
#pragma once

#include <cstdint>

#include "core/update_session.h"

namespace veltra {

// WM_APP_LOADER_NOTICE (see core/boot_loader_step.h for its parameters): tells the problem; when
// the ROM is the updated camera's, the update ends with it as its one message.
void OnLoaderNotice(UpdateSession& update, std::uintptr_t wParam, std::intptr_t lParam);
// WM_APP_LOADER_ENDED: a ROM whose load failed is held until it leaves the bus, and the update
// whose camera it was ends; a ROM that waited for its turn is then taken over.
void OnLoaderEnded(UpdateSession& update, std::uintptr_t loaded);

}  // namespace veltra
