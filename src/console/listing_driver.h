// The seam on today's Windows program: it lists the devices through the program's discovery, but
// it does not update. The program's update runs only behind its dialog window today; the console
// program updates on Windows once the seam is pointed at the update controller, which the dialog
// and the console share. Until then every camera is refused before anything is written.
#pragma once

#include "console/update_driver.h"

namespace veltra::console {

class ListingDriver : public UpdateDriver {
 public:
  std::vector<ListedDevice> List() override;
  UpdateResult Update(const ListedDevice& camera, const std::string& filePath,
                      const ProgressSink& progress) override;
};

}  // namespace veltra::console
