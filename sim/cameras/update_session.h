// One stay of a camera in its DFU update mode: what it received since it entered, and what it does
// when a download ends with a manifest or when it is told to reset.
//
// Model:
//  - Entering update mode from the normal firmware starts with an empty flash record.
//  - A download that began with the combined-image erase is the first of two passes: after its
//    manifest the camera comes back in update mode for the second part, also when a first pass
//    went through before it. Any other manifest ends the stay and the camera boots.
//  - It boots the new firmware when data arrived since it entered (the version is the one the
//    download carries), otherwise the firmware it had.
//  - A power cycle in update mode keeps the flash and starts counting passes afresh. When data had
//    arrived before it, the old firmware is gone and the new one is not whole: until a download
//    completes again, a manifest or a reset brings the camera back in update mode.
//  - A reset request while data has arrived since the last manifest, or between the two passes,
//    finds no whole firmware: the camera comes back in update mode.
#pragma once

#include <cstddef>

#include "sim/cameras/firmware_version.h"
#include "sim/dfu_engine.h"

namespace veltra::sim {

class UpdateSession {
 public:
  enum class Next { kNextPass, kBootNewFirmware, kBootOldFirmware, kStayInUpdateMode };

  // The camera enters update mode from its normal firmware.
  void Begin(DfuEngine& engine);
  // The camera lost power while in update mode and comes back there: the flash keeps what it
  // took, but the passes count afresh (a two-pass image starts again with its first pass).
  void Resume(const DfuEngine& engine);
  // A manifest completed (called from the engine's manifest hook).
  Next OnManifest(const DfuEngine& engine);
  // The reset request was accepted.
  Next OnReset(const DfuEngine& engine) const;
  // The version the received download carries (valid after kBootNewFirmware).
  FirmwareVersion ReceivedVersion(const DfuEngine& engine) const;

 private:
  int erasesAtManifest_ = 0;  // the erase count at the last manifest (or at entering)
  std::size_t blocksAtBegin_ = 0;
  std::size_t blocksAtManifest_ = 0;
  bool betweenPasses_ = false;
  bool brokenOffBeforeResume_ = false;  // data had arrived when the camera lost power

  // Nothing whole has arrived since a power cycle that broke a download off.
  bool NoWholeFirmware() const;
};

}  // namespace veltra::sim
