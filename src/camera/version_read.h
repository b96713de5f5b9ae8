#pragma once

namespace veltra {

// Reads the selected camera's firmware version and shows it (runs on the refresher thread).
void GetFirmwarVersion();

}  // namespace veltra
