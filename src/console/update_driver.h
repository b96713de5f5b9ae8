// The one place where the console program asks the program for its devices and for the update of
// one camera. Everything above it (choosing the cameras, the exit code, the report, the progress
// lines) is the console's own; everything below it is the program's, driven the way the dialog
// drives it, so that a camera is updated by exactly the logic a person at the dialog would use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veltra::console {

// The mode a listed device is in. Only a camera in its normal mode has a model.
enum class DeviceMode { kNormal, kUpdate, kBootRom };

// The route an update of the device takes, as the program's table of known devices names it.
enum class Route { kModeSwitch, kDfu, kFx3Loader, kNxpLoader, kSunplusLibrary, kUnknown };

// One device as the program lists it. Texts are UTF-8.
struct ListedDevice {
  std::string name;   // the list entry's name
  std::string model;  // the camera's model; empty for an update mode or a boot ROM
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  DeviceMode mode = DeviceMode::kNormal;
  Route route = Route::kUnknown;
  std::string serial;        // the serial it reports; empty when it reports none
  std::string locationPath;  // its USB device's location path; empty when unknown
  std::string version;       // "a.b.c.d"; empty when it could not be read
  std::string key;           // what the driver finds the device by again (its path)
};

// How the update of one camera ended.
enum class Outcome {
  kUpdated,       // the program said the firmware was written
  kFailed,        // the program said it failed, or did not come to rest
  kUnconfirmed,   // the firmware was sent, but the camera could not confirm it was written
  kRefused,       // the program refused before it wrote anything
  kAccessDenied,  // Windows refused access to the device; an elevated prompt is needed
  kSkipped,       // not started (the run was interrupted before it)
};

struct UpdateResult {
  Outcome outcome = Outcome::kFailed;
  std::string message;        // the text the dialog would have shown (UTF-8), may be empty
  std::string versionBefore;  // the firmware version read before the update; empty: not read
  std::string versionAfter;   // read from the camera found again after it; empty: not read
};

// A step of the update the program shows: the status line's text and the bar's position (0 to
// 100, or -1 when the step has no bar).
struct ProgressStep {
  std::string phase;
  int percent = -1;
};
using ProgressSink = std::function<void(const ProgressStep&)>;

class UpdateDriver {
 public:
  virtual ~UpdateDriver() = default;
  // Every device the program finds; withVersions: each camera in its normal mode is asked its
  // firmware version too. Listing never takes over a boot ROM and starts nothing.
  virtual std::vector<ListedDevice> List(bool withVersions) = 0;
  // Updates one listed camera with the firmware file at filePath, telling its steps to progress.
  virtual UpdateResult Update(const ListedDevice& camera, const std::string& filePath,
                              const ProgressSink& progress) = 0;
};

}  // namespace veltra::console
