// Whole-program runs around the camera's return after an update: which entry is selected again
// when another camera in update mode is listed first, the Warning dialog when the camera has
// already left before the dialog came up.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_procedures.h"
#include "app_fixture.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/update_session.h"
#include "core/window_messages.h"
#include "scenario_fixture.h"
#include "sim/cameras/dfu_cameras.h"

namespace veltra::test {
namespace {

class ReidentifyGapsTest : public ScenarioTest {
 protected:
  std::wstring SelectedEntry() {
    const int selected = dialog_.ComboGetCurSel();
    const std::vector<std::wstring> entries = Entries();
    if (selected < 0 || selected >= static_cast<int>(entries.size())) {
      return L"<none>";
    }
    return entries[static_cast<std::size_t>(selected)];
  }
  // Another camera is listed first; the user picks the entry `before` and updates that camera,
  // which ends listed as `after`, the second entry.
  void UpdateBesideAnotherCamera(const std::shared_ptr<sim::VirtualDevice>& camera,
                                 const std::string& example, const std::wstring& before,
                                 const std::wstring& after) {
    sim::DfuModeCamera::Options other;
    other.name = L"Veltra_Other";
    Plug(std::make_shared<sim::GenericCamera>(other));
    Plug(camera);
    StartProgram();
    const std::vector<std::wstring> listed = Entries();
    const auto picked = std::find(listed.begin(), listed.end(), before);
    ASSERT_NE(picked, listed.end());
    dialog_.ComboSetCurSel(static_cast<int>(picked - listed.begin()));
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));

    // Named after both models, so that the model check passes quietly.
    Browse(ExampleFile(example, "Veltra_NX20_Veltra_RX40M_" + example));
    UpdateAndConfirm();
    Settle();
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
    ASSERT_EQ(Entries().size(), 2u);
    EXPECT_EQ(Entries()[1], after);
  }
  void ReadVersion() {
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_READFW_VERSION));
    EXPECT_TRUE(dialog_.PumpUntil([] { return g_bReadVersionBusy.load() == 0; }));
  }
};

// Found waiting in its update mode: its path there has nothing in common with its path once it
// runs its firmware again, so only its serial finds it; it must be selected again, not entry 0.
TEST_F(ReidentifyGapsTest, CameraUpdatedFromItsUpdateModeIsSelectedAgainBehindAnotherCamera) {
  sim::DfuModeCamera::Options waiting;
  waiting.serial = L"WAIT000002";
  waiting.startInUpdateMode = true;
  UpdateBesideAnotherCamera(std::make_shared<sim::GenericCamera>(waiting), "mcu.img",
                            L"DFU Device_USB_2_HUB_1(VID_7E51,PID_DF00_0)",
                            L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)");
  EXPECT_EQ(SelectedEntry(), L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)");
  EXPECT_EQ(g_nLastSelectedIndex.load(), 1);
  EXPECT_TRUE(Traced(L"g_USBUniqueID Serial Number = WAIT000002\r\n"));
}

// The Pesca camera restarts as soon as its last pass is written. When its removal reaches the
// dialog before the Warning dialog has come up, the dialog must still end up closable and must
// not turn into the failure message three minutes later.
TEST_F(ReidentifyGapsTest, WarningAfterTheCameraHasAlreadyLeftCanBeClosedAndNeverTimesOut) {
  auto camera = Plug(std::make_shared<sim::PescaCamera>());
  // The restart into its normal firmware takes a while; its returns into update mode do not.
  std::vector<std::function<void()>> held;
  camera->SetReturnScheduler([&held, raw = camera.get()](std::function<void()> comeBack) {
    if (raw->InUpdateMode()) {
      comeBack();
    } else {
      held.push_back(std::move(comeBack));
    }
  });
  StartProgram();
  dialog_.HoldModal(IDD_WARNING_DIALOG);
  // The removal is handled on the dialog thread first, then the Warning dialog initialises.
  dialog_.SetModalProc(IDD_WARNING_DIALOG,
                       [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                         if (message == kWmInitDialog) {
                           for (DeviceChange change : discovery_.TakeEvents()) {
                             dialog_.SendToDialog(kWmDeviceChange, change.event,
                                                  reinterpret_cast<std::intptr_t>(&change));
                           }
                         }
                         return WarningDialogProc(AppTest::kWarnDlg, message, wParam, lParam);
                       });
  Browse(ExampleFile("combined_type1.img", "Veltra_Pesca_combined.img"));
  UpdateAndConfirm();
  Settle();

  ASSERT_TRUE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
  EXPECT_TRUE(Visible(IDC_STATIC_NO_DEVICE));
  EXPECT_EQ(dialog_.WindowItemEnabled(Window::kWarnDialog, IDC_BTN_CONFIRM_OK), true);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_WARNING_TIMEOUT));
  clock_.Advance(180000);
  EXPECT_EQ(dialog_.FireDueTimers(), 0);

  // The camera is back with its new firmware; the user closes the Warning dialog.
  ASSERT_EQ(held.size(), 1u);
  held.front()();
  WarningDialogProc(AppTest::kWarnDlg, kWmCommand, CommandParam(IDC_BTN_CONFIRM_OK), 0);
  Settle();
  EXPECT_FALSE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
  EXPECT_EQ(dialog_.ModalDialogsOpened(),
            (std::vector<int>{IDD_CONFIRM_DIALOG, IDD_WARNING_DIALOG}));
  ExpectReadyFor(L"Veltra_Pesca(VID_7e51,PID_C123_0)");
}

}  // namespace
}  // namespace veltra::test
