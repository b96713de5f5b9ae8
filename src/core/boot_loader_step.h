// The boot-loader step: a camera found waiting in a chip vendor's boot ROM (the FX3 ROM, the
// RT1060 ROM) is given the program that brings it to its update mode as soon as the device list
// finds it, whether or not an update is under way. The device list owns the one step and hands
// it to the boot-loader downloads; an update that waits for its camera only learns what became
// of the step through its own phase.
#pragma once

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "core/dfu_link.h"
#include "platform/types.h"

namespace veltra {

// A payload buffer allocated at its exact length (the loader files). Its holder frees it.
struct Payload {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

// What a take-over posts to the main dialog (WM_APP_LOADER_NOTICE) instead of showing it inside
// the list rebuild. wParam: the loader file's problem (image/loader_files.h, LoaderFileProblem)
// or kNoticeNoThread in its low byte, with kNoticeFx3File (the problem is bootloader.img's, not
// the flash loader's) and kNoticeOfUpdate (the ROM is the updated camera's: its update ends with
// this message); lParam: the file's length. WM_APP_LOADER_ENDED: a boot-loader thread ended,
// wParam 1 when its ROM took the load.
constexpr std::uintptr_t kNoticeProblemMask = 0xFF;
constexpr std::uintptr_t kNoticeNoThread = 0xFF;
constexpr std::uintptr_t kNoticeFx3File = 0x100;
constexpr std::uintptr_t kNoticeOfUpdate = 0x200;

// The boot ROM the camera of the update under way comes back in, if any: the CX3 route leaves
// the camera erased in its FX3 ROM, and a mode switch may bring an NXP camera up in its RT1060
// ROM. A ROM of another kind is never the updated camera's.
enum class UpdateRom : std::uint8_t { kNone, kFx3, kRt1060 };

// A boot-loader download that has ended, as its thread leaves it for the dialog.
struct EndedLoad {
  std::wstring romPath;
  bool ofUpdate = false;
  bool loaded = false;
  bool romLeft = false;  // a removal named the ROM before the dialog looked at the end
};

struct BootLoaderStep {
  // The loader file between its read on the dialog thread and its download; the FX3 and NXP
  // downloads release it when they have sent it.
  Payload loaderImage;
  // A boot-loader thread was started and its program has not arrived yet: EXIT stays off.
  Flag bLoaderThreadStarted{0};
  // A boot-loader download runs, from before its thread starts until its body ends: the list
  // takes over no other ROM meanwhile (one ROM is loaded at a time).
  Flag bLoaderDownloadBusy{0};
  // The ROM being loaded: its path, and whether it is the camera of the update under way (it
  // came on the bus after that camera left for its update mode). Written on the dialog thread
  // before the thread starts.
  std::wstring romPath;
  Flag romOfUpdate{0};
  // Set by the update command for the route it takes.
  std::atomic<UpdateRom> updateRom{UpdateRom::kNone};
  // The FX3 ROM's own handle for the Cypress driver's requests (lastOpenedHandle); the update's
  // DFU connection is never touched by a take-over.
  DfuLink fx3Link;
  // ROMs whose take-over failed (a loader file that cannot be used, a channel that does not
  // open, a load that failed), by path: not taken over again until they have left the bus.
  // Dialog thread only.
  std::vector<std::wstring> heldRoms;
  // A removal named the ROM being loaded before its thread ended: a failed load is then not held
  // (the ROM that comes back is a fresh one).
  Flag romLeftDuringLoad{0};
  // Downloads that ended and that the dialog has not looked at yet (WM_APP_LOADER_ENDED): each
  // thread leaves its own here before it releases the busy flag, so that a take-over started
  // meanwhile cannot be taken for it.
  std::mutex endedMutex;
  std::vector<EndedLoad> ended;

  BootLoaderStep() = default;
  ~BootLoaderStep() { std::free(loaderImage.data); }
  BootLoaderStep(const BootLoaderStep&) = delete;
  BootLoaderStep& operator=(const BootLoaderStep&) = delete;
  BootLoaderStep(BootLoaderStep&&) = delete;
  BootLoaderStep& operator=(BootLoaderStep&&) = delete;

  // Back to the start-up values: no file, no download.
  void Reset() {
    std::free(loaderImage.data);
    loaderImage = Payload{};
    bLoaderThreadStarted = 0;
    bLoaderDownloadBusy = 0;
    romPath.clear();
    romOfUpdate = 0;
    updateRom = UpdateRom::kNone;
    fx3Link.Forget();
    heldRoms.clear();
    romLeftDuringLoad = 0;
    std::lock_guard<std::mutex> lock(endedMutex);
    ended.clear();
  }
};

}  // namespace veltra
