#include "sim/cameras/update_session.h"

namespace veltra::sim {

void UpdateSession::Begin(DfuEngine& engine) {
  engine.ClearFlash();
  engine.Restart();
  Resume(engine);
}

void UpdateSession::Resume(const DfuEngine& engine) {
  const DfuFlash flash = engine.Flash();
  erasesAtManifest_ = flash.eraseCount;
  blocksAtBegin_ = engine.Blocks().size();
  blocksAtManifest_ = blocksAtBegin_;
  betweenPasses_ = false;
  // Begin clears the flash first, so only a power cycle in the middle of a stay gets here with
  // data.
  brokenOffBeforeResume_ = blocksAtBegin_ > 0;
}

bool UpdateSession::NoWholeFirmware() const {
  return brokenOffBeforeResume_ && blocksAtManifest_ == blocksAtBegin_;
}

UpdateSession::Next UpdateSession::OnManifest(const DfuEngine& engine) {
  const DfuFlash flash = engine.Flash();
  blocksAtManifest_ = engine.Blocks().size();
  // Whether this download began with the combined-image erase is what makes it a first pass, not
  // how many passes came before it: a first pass written again after one that went through still
  // leaves the camera waiting for the second part.
  betweenPasses_ = flash.eraseCount > erasesAtManifest_;
  erasesAtManifest_ = flash.eraseCount;
  if (betweenPasses_) {
    return Next::kNextPass;
  }
  if (NoWholeFirmware() || !engine.BootsImage()) {
    return Next::kStayInUpdateMode;
  }
  return blocksAtManifest_ > blocksAtBegin_ ? Next::kBootNewFirmware : Next::kBootOldFirmware;
}

UpdateSession::Next UpdateSession::OnReset(const DfuEngine& engine) const {
  if (betweenPasses_ || engine.Blocks().size() != blocksAtManifest_ || NoWholeFirmware()) {
    return Next::kStayInUpdateMode;
  }
  return blocksAtManifest_ > blocksAtBegin_ ? Next::kBootNewFirmware : Next::kBootOldFirmware;
}

FirmwareVersion UpdateSession::ReceivedVersion(const DfuEngine& engine) const {
  return VersionOfDownload(engine.Flash());
}

}  // namespace veltra::sim
