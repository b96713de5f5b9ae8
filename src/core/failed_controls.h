// The dialog's idle look after an update that did not complete, written once for every route that
// ends one (the worker's observer and the Sunplus download thread).
#pragma once

namespace veltra {

// No file, no update controls, EXIT back.
void ShowControlsAfterFailedUpdate();

}  // namespace veltra
