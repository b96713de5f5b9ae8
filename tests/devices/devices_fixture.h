// Fixture of the discovery tests: the bench's discovery, camera library and USB transport over the
// fixture's bus, cameras of the bench, and a bare device for the chip vendors' boot ROMs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/dialog_observer.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "support/bench_fixture.h"

namespace veltra::test {

// A device that only has an identity: a boot ROM, or anything else the passes must judge.
class BareDevice : public sim::VirtualDevice {
 public:
  BareDevice(sim::UsbId id, std::wstring description, bool hid)
      : id_(id), description_(std::move(description)), hid_(hid) {}
  sim::UsbId Id() const override { return id_; }
  std::wstring Description() const override { return description_; }
  bool HasHidInterface() const override { return hid_; }

 private:
  sim::UsbId id_;
  std::wstring description_;
  bool hid_;
};

class DevicesTest : public BenchTest {
 protected:
  DevicesTest() {
    Ports set = ports();
    set.discovery = &discovery_;
    set.camera = &library_;
    set.usb = &usb_;
    InstallPorts(set);
    update_.SetObserver(&observer_);
  }
  ~DevicesTest() override {
    // Loader threads started by a rebuild use the ports below; they end before the ports go.
    system_->JoinAllThreads();
  }

  std::shared_ptr<sim::GenericCamera> PlugCamera(const std::wstring& serial,
                                                 std::uint16_t pid = sim::kGenericCameraPid,
                                                 bool updateMode = false) {
    sim::DfuModeCamera::Options options;
    options.pid = pid;
    options.serial = serial;
    options.startInUpdateMode = updateMode;
    auto camera = std::make_shared<sim::GenericCamera>(options);
    bus_.Plug(camera);
    return camera;
  }

  std::shared_ptr<BareDevice> PlugBare(std::uint16_t vid, std::uint16_t pid,
                                       const std::wstring& description, bool hid = false) {
    auto device = std::make_shared<BareDevice>(sim::UsbId{vid, pid}, description, hid);
    bus_.Plug(device);
    return device;
  }

  // What every device-change handler does: an empty table, both passes (USB devices first on a
  // USB-device arrival), and the rebuild when either pass found something. Returns whether one did.
  bool Discover(bool usbDevicesFirst = false) {
    Controller().List().nDeviceCount = 0;
    bool found = false;
    if (usbDevicesFirst) {
      found = DeviceConnect(update_.Observer()) != 0;
      found = GetAvailableDevices() != 0 || found;
    } else {
      found = GetAvailableDevices() != 0;
      found = DeviceConnect(update_.Observer()) != 0 || found;
    }
    if (found) {
      RemoveDeviceNameInCombbox(update_);
      if (const std::optional<TakeOver> takeOver = AddDeviceNameInCombbox(update_)) {
        StartTakeOver(update_, *takeOver);  // as the handlers do once the rebuild is over
      }
    }
    return found;
  }

  std::wstring RecordPath(int i) const { return Controller().List().DeviceTable[i].devicePath; }

  UpdateSession update_;
  DialogObserver observer_{update_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimCameraLibrary library_{bus_};
  sim::SimUsbTransport usb_{bus_};
};

}  // namespace veltra::test
