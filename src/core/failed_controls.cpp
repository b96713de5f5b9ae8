#include "core/failed_controls.h"

#include "core/resource_ids.h"
#include "platform/ports.h"

namespace veltra {

void ShowControlsAfterFailedUpdate() {
  DialogView& dialog = Dialog();
  dialog.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
  dialog.EnableItem(IDC_BTN_EXIT, true);
  dialog.EnableItem(IDC_EDIT_FIRMWARE_PATH, false);
  dialog.EnableItem(IDC_STATIC_SELECT_FILE, false);
  dialog.EnableItem(IDC_BTN_READFW_VERSION, false);
  dialog.ShowItem(IDC_STATIC_UPDATING, false);
  dialog.ShowItem(IDC_STATIC_MODE_SWITCH, false);
  dialog.ShowItem(IDC_STATIC_STATUS, false);
  dialog.ShowItem(IDC_PROGRESS_BAR, false);
}

}  // namespace veltra
