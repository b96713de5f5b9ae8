// Building blocks shared by the device-change handlers: the discovery passes, the list rebuild,
// re-opening the camera-control library on the current camera and bringing the program to the
// front. Internal to the device-change handling.
#pragma once

#include "core/update_session.h"

namespace veltra::camera {

// Which discovery pass runs first. The WinUSB arrival lists the devices in update or boot-loader
// mode first so that they take the first table entries.
enum class DiscoveryOrder { kCaptureDevicesFirst, kUsbDevicesFirst };

// Runs both discovery passes into the (already emptied) table. True when either found a device.
// Every device change enumerates through it, so it also ends the Warning dialog's wait.
bool RunDiscovery(UpdateSession& update, DiscoveryOrder order);

// After a Pesca camera's success the Warning dialog waits until the updated camera has left its
// update mode: once the one rule of devices/reidentify.h no longer finds it among the listed
// update modes, its time-out stops and its OK comes on. Other cameras on the bus, of any maker or
// family, do not hold it.
void EndWarningWaitOnceCameraLeft(UpdateSession& update);

// Empties the list and fills it again from the table (selecting entry 0), starts the take-over of
// a boot ROM the rebuild found, then shows the dialog's ready state. The form without the Cypress
// boot-loader case is the one the WinUSB arrival uses while an RT1060 ROM is the selected camera.
enum class ListForm { kFull, kNoCypress };
void RebuildDeviceList(UpdateSession& update, ListForm form);

// Re-opens the library on the selected camera: the generic extension unit with the selected
// path (READ F/W VERSION not allowed when it fails), then the family channels, each of which
// allows READ F/W VERSION again when it opens.
void ReopenCameraLibrary(UpdateSession& update, bool withMirel);

// Tells the dialog that the devices changed (it comes to the front).
void BringToFront(UpdateSession& update);

// UpdateDeviceRemoved while a chosen firmware file still waits for its camera.
void CheckUpdateDeviceStillListed(UpdateSession& update);

// Once an update is over, selects the updated camera again by its USB serial (a camera without
// one by the path it left from, which it has again on the same port). The match stays
// armed until the user picks an entry or the next update starts (a failed update disarms it):
// neither another device's arrival before the camera is back nor the camera's own further
// arrivals, each of which rebuilds the list, may leave another camera selected.
void ReselectUpdatedCamera(const UpdateSession& update);

// Whether the camera being updated is listed running its firmware (not an update mode): by its
// serial when it has one, otherwise by the path the update started on (a camera without a serial
// comes back on its port with the IDs it had). Any other camera on the desk is not it.
bool UpdatedCameraRunsItsFirmware(const UpdateSession& update);

// While an NXP update waits for the chip's restart after the flash loader's session: ends it
// with the success message when the camera is listed running its firmware (by its serial), and
// as a failed download when an RT1060 ROM is listed (the flash holds no bootable image). The wait
// after a DFU download that ended with the camera leaving ends here too: a DFU camera listed back
// in its update mode is a failed download. Otherwise the wait goes on, bounded by timer 2.
void ConcludeNxpRestart(UpdateSession& update);

}  // namespace veltra::camera
