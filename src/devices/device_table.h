// The device table (one record per listed camera, up to 20) and the device list control that
// shows it: list entry i always belongs to record i.
#pragma once

#include "core/update_controller.h"

namespace veltra {

// Rebuilds the list from the table and selects entry 0; starts the boot-loader downloads for
// FX3 and RT1060 ROM records. update: the session a ROM found while it waits for its camera
// goes on with (and the connection the FX3 take-over opens).
void AddDeviceNameInCombbox(UpdateSession& update);
// The second form: no Cypress FX3 case (an FX3 record gets an ordinary entry).
void AddDeviceNameInCombboxNoCypress(UpdateSession& update);
void RemoveDeviceNameInCombbox();
// A ROM whose take-over failed is held, by path, until a rebuild no longer finds it (it has left
// the bus): the rebuilds list it without taking it over again. Dialog thread only.
void HoldBootRom(BootLoaderStep& step, const wchar_t* path);
bool BootRomHeld(const BootLoaderStep& step, const wchar_t* path);
// A removal names the interface that left: a held ROM of that path is taken over again when it
// returns.
void ReleaseBootRomThatLeft(BootLoaderStep& step, const wchar_t* path);

}  // namespace veltra
