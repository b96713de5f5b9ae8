#pragma once

namespace veltra {

// Resets the camera listed at index (the one selected when RESET was pressed) by the route it
// answers to (runs on the refresher thread).
void ResetSelectedDevice(int index);

}  // namespace veltra
