// What veltra-update.exe and its demo build (veltra-update-demo.exe, on the virtual camera bench)
// share of their Windows entry: the wide command line read as UTF-8, help and usage, Windows' own
// SHA-256, Ctrl+C, and the console's run. Each build brings its devices: it makes the driver,
// fills in the rest of the ports and runs the console on them.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "console/command_line.h"
#include "console/console_run.h"

namespace veltra {

// The build's part: runs console::RunConsole(options, ports) with ports.driver and
// ports.seconds set, and returns its exit code.
using UpdateRun = std::function<int(const console::Options& options, console::RunPorts ports)>;

int UpdateEntry(int argc, wchar_t** argv, const UpdateRun& run);

// Opens the --log file for writing (its name is UTF-8); nullptr when it cannot be made.
std::FILE* OpenLogFile(const std::string& path);

}  // namespace veltra
