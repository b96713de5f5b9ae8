#include "console/listing_driver.h"

#include "console/program_devices.h"

namespace veltra::console {

namespace {
constexpr const char* kNotYet =
    "this build of veltra-update lists the cameras but does not update them yet; nothing was "
    "written. Please use the updater's dialog";
}  // namespace

std::vector<ListedDevice> ListingDriver::List() {
  return ListProgramDevices();
}

UpdateResult ListingDriver::Update(const ListedDevice&, const std::string&, const ProgressSink&) {
  UpdateResult result;
  result.outcome = Outcome::kRefused;
  result.message = kNotYet;
  return result;
}

}  // namespace veltra::console
