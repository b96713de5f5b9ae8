// The desk fixture: the whole program on the bench as users have it (scenario_fixture.h), with
// the choice of a camera in the list, the user's view of a route's end, and one row per update
// route: how to make its camera, how the list names it, and what it holds once updated.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "core/window_messages.h"
#include "scenario_fixture.h"
#include "sim/cameras/camera_device.h"

namespace veltra::test {

using Bytes = std::vector<std::uint8_t>;

// A device that is no camera: a USB stick (USB device interface only) or a keyboard (with a HID
// interface). The program must never send it anything.
class ForeignDevice : public sim::VirtualDevice {
 public:
  ForeignDevice(sim::UsbId id, bool hid) : id_(id), hid_(hid) {}
  sim::UsbId Id() const override { return id_; }
  bool HasHidInterface() const override { return hid_; }

 private:
  sim::UsbId id_;
  bool hid_;
};

// Hands the USB port through, and runs a one-shot action on the thread of the next control
// transfer, before the transfer: a point in the middle of the update worker's run.
class TransferHook : public UsbTransport {
 public:
  explicit TransferHook(UsbTransport& inner) : inner_(inner) {}
  void AtNextTransfer(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    action_ = std::move(action);
  }
  Handle OpenDevice(const wchar_t* path) override { return inner_.OpenDevice(path); }
  void CloseDevice(Handle device) override { inner_.CloseDevice(device); }
  bool WinUsbInitialize(Handle device, Handle* interfaceHandle) override {
    return inner_.WinUsbInitialize(device, interfaceHandle);
  }
  void WinUsbFree(Handle interfaceHandle) override { inner_.WinUsbFree(interfaceHandle); }
  bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                       std::uint32_t* transferred) override {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      action.swap(action_);
    }
    if (action) {
      action();
    }
    return inner_.ControlTransfer(interfaceHandle, setup, data, transferred);
  }
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override {
    return inner_.DeviceIoControl(device, ioctl, record, length, returned);
  }

 private:
  UsbTransport& inner_;
  std::mutex mutex_;
  std::function<void()> action_;
};

class DeskTest : public ScenarioTest {
 protected:
  DeskTest() {
    Ports set = ports();
    set.usb = &hook_;
    InstallPorts(set);
  }

  void Pick(int index) {
    shown_.ComboSetCurSel(index);
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));
  }
  // Browse with the example file, named after the model so that the model check passes quietly.
  void UpdateWith(const std::string& example) {
    Browse(ExampleFile(example,
                       "Veltra_RX40M+Veltra_Pesca+Veltra_Tarsa+Veltra_Mirel+Veltra_CX3+"
                       "Veltra_NX20_" +
                           example));
    UpdateAndConfirm();
  }
  // The user sees the route's end: the success message (the unconfirmed write's, for an NXP
  // camera whose flash loader's answers could not be read), or the Warning dialog, whose OK comes
  // on once the updated camera has left, whatever else stays on the desk.
  void ExpectSuccessSeen(bool warning, const sim::CameraDevice& camera) {
    if (!warning) {
      EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{SuccessTextFor(camera)});
      return;
    }
    EXPECT_TRUE(BoxTexts().empty());
    ASSERT_TRUE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
    ASSERT_TRUE(shown_.WindowItemEnabled(Window::kWarnDialog, IDC_BTN_CONFIRM_OK).value_or(false))
        << "the Warning dialog still waits for a camera that has left";
    // Its three minutes no longer run: "Firmware Update Failed. Please try again." cannot follow.
    EXPECT_EQ(dialog_.TimerPeriod(IDT_WARNING_TIMEOUT), 0u);
    WarningDialogProc(AppTest::kWarnDlg, kWmCommand, CommandParam(IDC_BTN_CONFIRM_OK), 0);
    Settle();
    EXPECT_FALSE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
  }
  bool TrafficMentions(const std::string& fragment) const {
    return traffic_.str().find(fragment) != std::string::npos;
  }

  TransferHook hook_{log_};
};

struct Route {
  const char* name;
  const char* example;
  // A camera of the route with that serial and those unknowns; its entry when listed at index i
  // is entry(i).
  std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring& serial,
                                                   const sim::Unknowns& unknowns)>
      make;
  std::function<std::wstring(int index)> entry;
  // Whether the camera now runs the example's firmware.
  std::function<bool(sim::CameraDevice&, const Bytes& file)> updated;
  // The route ends with the Warning dialog instead of the success message.
  bool endsWithWarning = false;
  // Another camera of the route waiting in its update mode (null: the route has none).
  std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring& serial,
                                                   const sim::Unknowns& unknowns)>
      waiting;
  // The route's update mode is the NXP flash loader (switch 5 applies).
  bool flashLoader = false;
};

// Every route, the Sunplus one last.
const std::vector<Route>& Routes();
bool DfuCameraUpdated(sim::CameraDevice& camera, const std::vector<std::uint8_t>& file);

}  // namespace veltra::test
