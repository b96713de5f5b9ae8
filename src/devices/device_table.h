// The device table (one record per listed camera, up to 20) and the device list control that
// shows it: list entry i always belongs to record i.
#pragma once

#include <optional>
#include <string>

#include "core/app_state.h"
#include "core/boot_loader_step.h"
#include "core/update_session.h"

namespace veltra {

struct DeviceRecord {
  wchar_t friendlyName[kPathChars];
  wchar_t vidText[20];
  wchar_t pidText[20];
  wchar_t devicePath[kPathChars];
};

// The device table mirrors the list the user sees, for the whole program.
extern DeviceRecord g_DeviceTable[kMaxDevices];
extern std::atomic<int> g_nDeviceCount;
// How many records are listed, cut to the table's size.
inline int ListedDeviceCount() {
  const int count = g_nDeviceCount.load();
  return count < 0 ? 0 : (count > kMaxDevices ? kMaxDevices : count);
}
// The list takes over a camera it finds waiting in a boot ROM, whether or not an update is under
// way: the boot-loader step is the list's, lives as long as the list does, and is handed to the
// boot-loader downloads it starts (and read by the device-change handling).
extern BootLoaderStep g_bootLoaderStep;

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

// The table, the count and the boot-loader step back to their start-up values (a fresh program).
void ResetDeviceTable();

}  // namespace veltra
