// SetUIState: each state puts every control of the main dialog where its column says, and leaves
// the controls it does not name exactly as they were.
#include "app/ui_state.h"

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "devices/device_table.h"

namespace veltra::test {
namespace {

// Per control: visibility 'S' shown, 'H' hidden, '-' unchanged; enabled '1', '0', '-'.
struct Expect {
  int id;
  char visible;
  char enabled;
};

const int kControls[] = {IDC_EDIT_FIRMWARE_PATH, IDC_STATIC_SELECT_FILE, IDC_BTN_BROWSE,
                         IDC_PROGRESS_BAR,       IDC_STATIC_STATUS,      IDC_BTN_READFW_VERSION,
                         IDC_BTN_FW_UPDATE,      IDC_STATIC_UPDATING,    IDC_STATIC_NO_DEVICE,
                         IDC_STATIC_CONNECTED,   IDC_BTN_EXIT,           IDC_COMBO_DEVICELIST,
                         IDC_STATIC_MODE_SWITCH, IDC_BTN_RESET};

class UiStateTest : public AppTest {
 protected:
  // Applies the state twice, once over a dialog with everything shown and enabled and once over
  // one with everything hidden and disabled, and checks every control against the column.
  void Check(int state, const std::vector<Expect>& column) {
    for (bool baseline : {true, false}) {
      SCOPED_TRACE(baseline ? "from all shown/enabled" : "from all hidden/disabled");
      for (int id : kControls) {
        dialog_.ShowItem(id, baseline);
        dialog_.EnableItem(id, baseline);
      }
      SetUIState(state);
      for (const Expect& e : column) {
        SCOPED_TRACE("control " + std::to_string(e.id));
        const auto item = dialog_.Item(e.id);
        EXPECT_EQ(item.visible, e.visible == '-' ? baseline : e.visible == 'S');
        EXPECT_EQ(item.enabled, e.enabled == '-' ? baseline : e.enabled == '1');
      }
    }
  }
};

TEST_F(UiStateTest, NoDeviceDisablesTheCommandsAndShowsTheNoDeviceLine) {
  Check(UI_STATE_NO_DEVICE, {{1000, '-', '0'},
                             {1001, '-', '0'},
                             {1002, '-', '0'},
                             {1003, 'H', '-'},
                             {1004, 'H', '-'},
                             {1005, '-', '0'},
                             {1006, '-', '0'},
                             {1007, 'H', '-'},
                             {1008, 'S', '-'},
                             {1009, 'H', '-'},
                             {1010, '-', '1'},
                             {1012, '-', '-'},
                             {1018, 'H', '-'},
                             {1024, '-', '0'}});
}

TEST_F(UiStateTest, DeviceReadyEnablesTheCameraCommandsButNeverFirmwareUpdate) {
  AddRecord(L"Cam", L"7e51", L"C1D0", L"\\\\?\\usb#cam");
  Select(0);
  Check(UI_STATE_DEVICE_READY, {{1000, '-', '1'},
                                {1001, '-', '1'},
                                {1002, '-', '1'},
                                {1003, 'H', '-'},
                                {1004, 'H', '-'},
                                {1005, '-', '1'},
                                {1006, '-', '0'},
                                {1007, 'H', '-'},
                                {1008, 'H', '-'},
                                {1009, 'S', '-'},
                                {1010, '-', '1'},
                                {1012, '-', '1'},
                                {1018, 'H', '-'},
                                {1024, '-', '1'}});
  // The vendor ID was upper-cased in place for the comparison.
  EXPECT_EQ(std::wstring(g_DeviceTable[0].vidText), L"7E51");

  // RESET only for the maker's vendor; EXIT untouched while a mode-switched update is under way.
  AddRecord(L"Other", L"04b4", L"00C3", L"\\\\?\\usb#other");
  Select(1);
  g_bUpdatedFromHIDMode = 1;
  Check(UI_STATE_DEVICE_READY, {{1010, '-', '-'}, {1024, '-', '0'}});
  // Nothing selected: no vendor to compare, RESET off.
  Select(-1);
  Check(UI_STATE_DEVICE_READY, {{1024, '-', '0'}});
}

TEST_F(UiStateTest, UpdatingLocksTheDialogAndShowsTheStatus) {
  Check(UI_STATE_UPDATING, {{1000, '-', '0'},
                            {1001, '-', '0'},
                            {1002, '-', '0'},
                            {1003, '-', '-'},
                            {1004, 'S', '-'},
                            {1005, '-', '0'},
                            {1006, '-', '0'},
                            {1007, 'S', '-'},
                            {1008, 'H', '-'},
                            {1009, 'H', '-'},
                            {1010, '-', '0'},
                            {1012, '-', '0'},
                            {1018, 'H', '-'},
                            {1024, '-', '0'}});
}

TEST_F(UiStateTest, UpdateDoneClearsThePathAndReopensTheCommands) {
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\Cam.img");
  Check(UI_STATE_UPDATE_DONE, {{1000, '-', '1'},
                               {1001, '-', '1'},
                               {1002, '-', '1'},
                               {1003, 'H', '-'},
                               {1004, 'H', '-'},
                               {1005, '-', '1'},
                               {1006, '-', '0'},
                               {1007, 'H', '-'},
                               {1008, 'H', '-'},
                               {1009, 'H', '-'},
                               {1010, '-', '1'},
                               {1012, '-', '1'},
                               {1018, 'H', '-'},
                               {1024, '-', '1'}});
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");

  // An unknown code changes nothing.
  dialog_.EnableItem(IDC_BTN_EXIT, false);
  SetUIState(999);
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));
}

}  // namespace
}  // namespace veltra::test
