// The devices today's program finds, read from its device table after its two discovery passes
// (without the list rebuild, which would take over a boot ROM), with the serial and the location
// path the program reads for each, and the family, mode and route of the program's table of known
// devices. Both builds of the console program list through this until the update controller
// offers its own listing.
#pragma once

#include <vector>

#include "console/update_driver.h"

namespace veltra::console {

// Runs the discovery passes and leaves the device table empty again, as a fresh program has it.
// withVersions: each camera in its normal mode is asked its version as READ F/W VERSION asks it.
std::vector<ListedDevice> ListProgramDevices(bool withVersions);
// The program's list as it stands, while the program runs.
std::vector<ListedDevice> ProgramDevicesListed();

// The mode and the route of a device by its IDs, from the program's table of known devices.
DeviceMode KnownMode(std::uint16_t vid, std::uint16_t pid);
Route KnownRouteOf(std::uint16_t vid, std::uint16_t pid);

}  // namespace veltra::console
