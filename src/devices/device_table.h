// The device table (one record per listed camera, up to 20) and the device list control that
// shows it: list entry i always belongs to record i.
#pragma once

#include <optional>
#include <string>

#include "core/update_controller.h"

namespace veltra {

// A boot ROM's take-over made ready by a rebuild: its loader file is loaded, its channel open and
// the step busy with it; only its download thread is still to start (StartTakeOver).
struct TakeOver {
  std::uint32_t (*body)(BootLoaderStep& step, UpdateSession& update) = nullptr;
  std::wstring romPath;
};

// Rebuilds the list from the table and selects entry 0; makes the take-over of an FX3 or RT1060
// ROM record ready (one at a time: a ROM after it waits for its turn) and returns it. The
// rebuild starts no thread: its caller starts the take-over once it returns. update: the session
// a ROM found while it waits for its camera goes on with (and the connection the FX3 take-over
// opens).
std::optional<TakeOver> AddDeviceNameInCombbox(UpdateSession& update);
// The second form: no Cypress FX3 case (an FX3 record gets an ordinary entry).
std::optional<TakeOver> AddDeviceNameInCombboxNoCypress(UpdateSession& update);
// Starts the download thread of a take-over a rebuild made ready. False when no thread could be
// created: the ROM is then held and the user told after the handling under way.
bool StartTakeOver(UpdateSession& update, const TakeOver& takeOver);
void RemoveDeviceNameInCombbox(UpdateSession& update);
// A ROM whose take-over failed is held, by path, until a rebuild no longer finds it (it has left
// the bus): the rebuilds list it without taking it over again. Dialog thread only.
void HoldBootRom(BootLoaderStep& step, const wchar_t* path);
bool BootRomHeld(const BootLoaderStep& step, const wchar_t* path);
// A removal names the interface that left: a held ROM of that path is taken over again when it
// returns.
void ReleaseBootRomThatLeft(BootLoaderStep& step, const wchar_t* path);

}  // namespace veltra
