// The presenter's state table: the groups of controls of the main dialog, one per UiState.
#include "app/ui_state.h"

#include "app/resource_ids.h"
#include "core/debug_trace.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/selected_record.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// What one state does to one control. Show/hide is visibility, on/off is enabled/disabled.
enum class Act {
  kOn,
  kOff,
  kShow,
  kHide,
  kClearTextOn,    // path box after an update: the file was used up, start afresh
  kClearText,      // path box after a failed update: no file, whatever it is enabled as
  kExitUnlessHid,  // EXIT stays as it is while a mode-switched update is under way
  kResetByVendor,  // RESET only for the maker's own cameras
};

struct Step {
  int id;
  Act act;
};

// One column of the state table each, in the order the controls are touched. Controls a state
// leaves unchanged are not listed. The ready state sets every visibility first and then enables
// the controls in this order; F/W UPDATE is only ever enabled by a successful Browse.
constexpr Step kNoDevice[] = {
    {IDC_EDIT_FIRMWARE_PATH, Act::kOff},
    {IDC_STATIC_SELECT_FILE, Act::kOff},
    {IDC_BTN_BROWSE, Act::kOff},
    {IDC_PROGRESS_BAR, Act::kHide},
    {IDC_STATIC_STATUS, Act::kHide},
    {IDC_BTN_READFW_VERSION, Act::kOff},
    {IDC_BTN_FW_UPDATE, Act::kOff},
    {IDC_STATIC_UPDATING, Act::kHide},
    {IDC_STATIC_NO_DEVICE, Act::kShow},
    {IDC_STATIC_CONNECTED, Act::kHide},
    {IDC_BTN_EXIT, Act::kOn},
    {IDC_STATIC_MODE_SWITCH, Act::kHide},
    {IDC_BTN_RESET, Act::kOff},
};

constexpr Step kDeviceReady[] = {
    {IDC_PROGRESS_BAR, Act::kHide},       {IDC_STATIC_STATUS, Act::kHide},
    {IDC_STATIC_UPDATING, Act::kHide},    {IDC_STATIC_NO_DEVICE, Act::kHide},
    {IDC_STATIC_CONNECTED, Act::kShow},   {IDC_STATIC_MODE_SWITCH, Act::kHide},
    {IDC_BTN_EXIT, Act::kExitUnlessHid},  {IDC_BTN_BROWSE, Act::kOn},
    {IDC_EDIT_FIRMWARE_PATH, Act::kOn},   {IDC_STATIC_SELECT_FILE, Act::kOn},
    {IDC_BTN_READFW_VERSION, Act::kOn},   {IDC_BTN_FW_UPDATE, Act::kOff},
    {IDC_BTN_RESET, Act::kResetByVendor}, {IDC_COMBO_DEVICELIST, Act::kOn},
};

constexpr Step kUpdating[] = {
    {IDC_EDIT_FIRMWARE_PATH, Act::kOff}, {IDC_STATIC_SELECT_FILE, Act::kOff},
    {IDC_BTN_BROWSE, Act::kOff},         {IDC_STATIC_STATUS, Act::kShow},
    {IDC_BTN_READFW_VERSION, Act::kOff}, {IDC_BTN_FW_UPDATE, Act::kOff},
    {IDC_STATIC_UPDATING, Act::kShow},   {IDC_STATIC_NO_DEVICE, Act::kHide},
    {IDC_STATIC_CONNECTED, Act::kHide},  {IDC_BTN_EXIT, Act::kOff},
    {IDC_COMBO_DEVICELIST, Act::kOff},   {IDC_STATIC_MODE_SWITCH, Act::kHide},
    {IDC_BTN_RESET, Act::kOff},
};

constexpr Step kUpdateDone[] = {
    {IDC_EDIT_FIRMWARE_PATH, Act::kClearTextOn},
    {IDC_STATIC_SELECT_FILE, Act::kOn},
    {IDC_BTN_BROWSE, Act::kOn},
    {IDC_PROGRESS_BAR, Act::kHide},
    {IDC_STATIC_STATUS, Act::kHide},
    {IDC_BTN_READFW_VERSION, Act::kOn},
    {IDC_BTN_FW_UPDATE, Act::kOff},
    {IDC_STATIC_UPDATING, Act::kHide},
    {IDC_STATIC_NO_DEVICE, Act::kHide},
    {IDC_STATIC_CONNECTED, Act::kHide},
    {IDC_BTN_EXIT, Act::kOn},
    {IDC_COMBO_DEVICELIST, Act::kOn},
    {IDC_STATIC_MODE_SWITCH, Act::kHide},
    {IDC_BTN_RESET, Act::kOn},
};

// After an update that did not complete: no file, no update controls, EXIT back.
constexpr Step kUpdateFailed[] = {
    {IDC_EDIT_FIRMWARE_PATH, Act::kClearText},
    {IDC_BTN_EXIT, Act::kOn},
    {IDC_EDIT_FIRMWARE_PATH, Act::kOff},
    {IDC_STATIC_SELECT_FILE, Act::kOff},
    {IDC_BTN_READFW_VERSION, Act::kOff},
    {IDC_STATIC_UPDATING, Act::kHide},
    {IDC_STATIC_MODE_SWITCH, Act::kHide},
    {IDC_STATIC_STATUS, Act::kHide},
    {IDC_PROGRESS_BAR, Act::kHide},
};

void Apply(const UpdateSession& update, const Step& step) {
  DialogView& dialog = Dialog();
  switch (step.act) {
    case Act::kOn:
      dialog.EnableItem(step.id, true);
      break;
    case Act::kOff:
      dialog.EnableItem(step.id, false);
      break;
    case Act::kShow:
      dialog.ShowItem(step.id, true);
      break;
    case Act::kHide:
      dialog.ShowItem(step.id, false);
      break;
    case Act::kClearTextOn:
      dialog.SetItemText(step.id, L"");
      dialog.EnableItem(step.id, true);
      break;
    case Act::kClearText:
      dialog.SetItemText(step.id, L"");
      break;
    case Act::kExitUnlessHid:
      if (update.bUpdatedFromHIDMode.load() == 0) {
        dialog.EnableItem(step.id, true);
      }
      break;
    case Act::kResetByVendor:
      dialog.EnableItem(step.id, RecordVendorIs(SelectedRecord(), DeviceVendor::kMaker));
      break;
  }
}

template <std::size_t N>
void ApplyAll(const UpdateSession& update, const Step (&steps)[N]) {
  for (const Step& step : steps) {
    Apply(update, step);
  }
}

}  // namespace

void SetUIState(const UpdateSession& update, UiState state) {
  switch (state) {
    case UiState::kNoDevice:
      ApplyAll(update, kNoDevice);
      break;
    case UiState::kDeviceReady:
      ApplyAll(update, kDeviceReady);
      break;
    case UiState::kUpdating:
      ApplyAll(update, kUpdating);
      break;
    case UiState::kUpdateDone:
      ApplyAll(update, kUpdateDone);
      break;
    case UiState::kUpdateFailed:
      ApplyAll(update, kUpdateFailed);
      break;
  }
}

}  // namespace veltra
