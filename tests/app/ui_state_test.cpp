// SetUIState's rules that depend on more than the state: RESET only for the maker's vendor and
// only with a camera selected, EXIT left alone while a mode-switched update is under way, and a
// state code it does not know.
#include "devices/ui_state.h"

#include <string>

#include "app_fixture.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/update_session.h"
#include "devices/device_table.h"

namespace veltra::test {
namespace {

using UiStateTest = AppTest;

TEST_F(UiStateTest, DeviceReadyDependsOnTheSelectedVendorAndARunningUpdate) {
  AddRecord(L"Cam", L"7e51", L"C1D0", L"\\\\?\\usb#cam");
  AddRecord(L"Other", L"04b4", L"00C3", L"\\\\?\\usb#other");
  struct Case {
    int selected;
    int updating;  // g_bUpdatedFromHIDMode
    bool reset;
    bool exit;  // EXIT enabled, starting from disabled
  };
  // Nothing selected: no vendor to compare and nothing read outside the table.
  for (const Case& c : {Case{0, 0, true, true}, Case{1, 0, false, true}, Case{0, 1, true, false},
                        Case{-1, 0, false, true}}) {
    SCOPED_TRACE(c.selected);
    Select(c.selected);
    CurrentUpdate().bUpdatedFromHIDMode = c.updating;
    dialog_.EnableItem(IDC_BTN_EXIT, false);
    SetUIState(UI_STATE_DEVICE_READY);
    EXPECT_EQ(Enabled(IDC_BTN_RESET), c.reset);
    EXPECT_EQ(Enabled(IDC_BTN_EXIT), c.exit);
    EXPECT_FALSE(Enabled(IDC_BTN_FW_UPDATE));
  }

  // An unknown code changes nothing.
  dialog_.EnableItem(IDC_BTN_EXIT, false);
  SetUIState(999);
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));
}

}  // namespace
}  // namespace veltra::test
