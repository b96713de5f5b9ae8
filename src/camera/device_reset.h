#pragma once

namespace veltra {

// Resets the selected camera by the route it answers to (runs on the refresher thread).
void ResetSelectedDevice();

}  // namespace veltra
