#include "camera/restart_wait.h"

#include "camera/selected_device.h"
#include "core/text.h"
#include "devices/device_table.h"
#include "devices/known_devices.h"
#include "devices/reidentify.h"
#include "devices/usb_serial.h"

namespace veltra::camera {

namespace {

// A serial of up to 10 characters and its terminator.
constexpr std::size_t kSerialBufferChars = 11;

bool IsTheCameraInDfuMode(const UpdateSession& update, int i) {
  if (!VendorIdIs(i, kVidMaker) ||
      !(ProductIdIs(i, kPidUpdateMode) || ProductIdIs(i, kPidPescaUpdateMode))) {
    return false;
  }
  if (!UniqueIDNamesOneCamera(update.USBUniqueID)) {
    return ListedUnderUpdatePath(update, i);
  }
  wchar_t serial[kSerialBufferChars] = {};
  return UniqueIDFromUsbDevicePath(g_DeviceTable[i].devicePath, serial) != 0 &&
         TextEqualsNoCase(serial, update.USBUniqueID);
}

}  // namespace

bool UpdatedCameraBackInDfuMode(const UpdateSession& update) {
  if (!update.AwaitingRestart() || update.bNXPMode.load() != 0 ||
      update.bWorkerRunning.load() != 0) {
    return false;
  }
  for (int i = 0; i < ListedDeviceCount(); ++i) {
    if (IsTheCameraInDfuMode(update, i)) {
      return true;
    }
  }
  return false;
}

}  // namespace veltra::camera
