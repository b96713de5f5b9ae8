// Ctrl+C in the console program: the camera being written is finished, the rest are skipped. The
// handler only raises a flag that the run reads between cameras.
#pragma once

#include <atomic>

namespace veltra {

// Installs the handler (once); the flag is raised by Ctrl+C, Ctrl+Break and the console's close.
const std::atomic<bool>& InstallConsoleInterrupt();

}  // namespace veltra
