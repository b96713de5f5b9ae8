// Cypress FX3 boot-loader route: parse the boot image and write it into the controller's RAM
// with vendor requests through the Cypress driver, then start it.
#pragma once

#include <vector>

#include "core/boot_loader_step.h"
#include "core/update_session.h"
#include "platform/types.h"
#include "platform/usb_transport.h"

namespace veltra {

// The step's bLoaderDownloadBusy: a boot-loader download (FX3 or NXP SDP stage) is running;
// the device list takes over no other ROM meanwhile. A ROM whose download failed is held by the
// list (BootLoaderStep::heldRoms) until it has left the bus.

// A take-over starts a download, on the dialog thread before its thread exists: the busy flag,
// the ROM's path and whether it is the updated camera's.
void BeginLoaderDownload(BootLoaderStep& step, const wchar_t* romPath, bool ofUpdate);
// The end of a download thread, whatever its outcome: the busy flag is released and the dialog
// told (WM_APP_LOADER_ENDED), which holds a ROM that failed, ends the update whose camera it was,
// and takes over a ROM that waited for its turn. A ROM of the update that took its program makes
// the update wait for that program (WaitForLoadedProgram).
void EndLoaderDownload(BootLoaderStep& step, UpdateSession& update, bool loaded);
// During an update, after a boot loader was given its program: the program's arrival on the bus
// is awaited like the camera's return after a mode switch (timer 2, for a minute), since a ROM
// that took the load but did not start it gives no other sign.
void WaitForLoadedProgram(UpdateSession& update);

// The camera fell into a boot ROM during an update, and the ROM could not be given its program:
// the update cannot go on, and nothing else would end it (the ROM's arrival already stopped the
// mode-switch time-out). Ends it as a failed update ends: the blink stops, the controls come back
// with EXIT, the user is told (text, or "Firmware Download Failed!" when null), and later
// arrivals no longer resume it. Nothing when no update waits for the ROM.
void EndUpdateWithoutLoader(UpdateSession& update, const wchar_t* text = nullptr);

// Thread body: 1 after the entry request, 0 on failure. Sends the step's loader image on the
// handle the take-over opened (the step's fx3Link), and closes that handle when it ends.
std::uint32_t DoDownloadCypress(BootLoaderStep& step, UpdateSession& update);
int DownloadBufferToDevice(const DfuLink& link, const std::uint8_t* data, std::uint32_t length,
                           std::uint32_t address);
// One EP0 request through the Cypress driver on link.lastOpenedHandle: setup.wLength must equal
// length. 1 / 0.
int XferData(const DfuLink& link, const SetupPacket& setup, const std::uint8_t* data,
             std::uint32_t length);

// ---- the FX3 boot image ----
// "CY", two bytes not read, then sections of (N words, address, N words of data); a section with
// N = 0 ends the list and its address is the program's entry point.
struct Fx3Section {
  std::uint32_t offset = 0;   // of the section's data in the boot image
  std::uint32_t length = 0;   // in bytes (4 * N)
  std::uint32_t address = 0;  // in the controller's memory
};
struct Fx3BootImage {
  std::vector<Fx3Section> sections;
  std::uint32_t entryAddress = 0;
};
enum class Fx3ImageError {
  kNone,
  kBadSignature,    // shorter than the signature, or not "CY"
  kNoTerminator,    // the image ends before a section with N = 0
  kSectionPastEnd,  // a section's data runs past the end of the image
};
// Walks the whole image without reading past length.
Fx3ImageError ParseFx3BootImage(const std::uint8_t* image, std::uint32_t length,
                                Fx3BootImage* parsed);

}  // namespace veltra
