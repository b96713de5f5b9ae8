#pragma once

#include "core/update_session.h"

namespace veltra {

// Puts the main dialog's controls into one of the groups of UiState. EXIT of the ready state stays
// as it is while update's mode-switched update is under way.
void SetUIState(const UpdateSession& update, UiState state);

}  // namespace veltra
