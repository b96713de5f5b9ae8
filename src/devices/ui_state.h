#pragma once

namespace veltra {

// Puts the main dialog's controls into one of the UI_STATE_* groups (core/resource_ids.h).
void SetUIState(int state);

}  // namespace veltra
