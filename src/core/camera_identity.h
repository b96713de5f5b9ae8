// Who the camera being updated is, read when the update begins: what finds it again after it
// re-enumerated in another mode (see devices/reidentify.h).
#pragma once

#include <cstddef>

#include "platform/types.h"

namespace veltra {

// Windows reports USB serials of up to 126 characters.
constexpr std::size_t kWholeSerialChars = 127;

struct CameraIdentity {
  // The whole USB serial, as the device's instance ID carries it; empty when the device reports
  // none (Windows made its instance ID up, with "&" in it).
  wchar_t serial[kWholeSerialChars] = {};
  // The location path of its USB device, and of the other port of the same connector (a USB 3
  // connector's SuperSpeed and USB 2 ports are numbered apart); empty when unknown.
  wchar_t location[kPathChars] = {};
  wchar_t companion[kPathChars] = {};
  // The serial was read from the camera running its firmware, so it is the camera's own. A
  // serial read in an update mode or a boot ROM may be one fixed serial that every camera of the
  // family reports there: then the place decides.
  bool ownSerial = false;
};

}  // namespace veltra
