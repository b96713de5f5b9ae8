// Which listed cameras an update run takes, from the command line and the file's name, and the
// refusals that end a run before anything is written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/update_driver.h"

namespace veltra::console {

struct Choice {
  std::vector<std::size_t> chosen;  // indexes into the listed devices, in list order
  int exitCode = 0;                 // non-zero: the run ends here with this code
  std::string message;              // why it ends (several lines when it lists cameras)
};

// fileTitle: the file's name without its folder, as the dialog's model check reads it.
Choice ChooseCameras(const Options& options, const std::vector<ListedDevice>& devices,
                     const std::string& fileTitle);

// "serial RX40000001, port 3, Veltra_RX40_MH, 7E51:C1D0": how a message names a device.
std::string DescribeDevice(const ListedDevice& device);

}  // namespace veltra::console
