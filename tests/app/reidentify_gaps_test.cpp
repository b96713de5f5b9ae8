// A whole-program run around the camera's return after an update: which entry is selected again
// when another camera is listed first.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "core/window_messages.h"
#include "scenario_fixture.h"
#include "sim/cameras/dfu_cameras.h"

namespace veltra::test {
namespace {

class ReidentifyGapsTest : public ScenarioTest {
 protected:
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
    shown_.ComboSetCurSel(static_cast<int>(picked - listed.begin()));
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));

    // Named after both models, so that the model check passes quietly.
    Browse(ExampleFile(example, "Veltra_NX20_Veltra_RX40M_" + example));
    UpdateAndConfirm();
    Settle();
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
    ASSERT_EQ(Entries().size(), 2u);
    EXPECT_EQ(Entries()[1], after);
  }
};

// Found waiting in its update mode (on its connector's USB 2 port, with its family's fixed
// serial): its path there has nothing in common with its path once it runs its firmware again,
// so only its place finds it; it must be selected again, not entry 0.
TEST_F(ReidentifyGapsTest, CameraUpdatedFromItsUpdateModeIsSelectedAgainBehindAnotherCamera) {
  sim::DfuModeCamera::Options waiting;
  waiting.serial = L"WAIT000002";
  waiting.startInUpdateMode = true;
  UpdateBesideAnotherCamera(std::make_shared<sim::GenericCamera>(waiting), "mcu.img",
                            L"DFU Device_USB_1_HUB_0(VID_7E51,PID_DF00_0)",
                            L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)");
  EXPECT_EQ(SelectedEntry(), L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)");
  EXPECT_EQ(Controller().List().nLastSelectedIndex, 1);
}

}  // namespace
}  // namespace veltra::test
