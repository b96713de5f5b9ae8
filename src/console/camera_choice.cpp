#include "console/camera_choice.h"

#include <algorithm>

#include "app/model_check.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "core/ui_texts.h"

namespace veltra::console {

namespace {

bool NamedFor(const ListedDevice& device, const std::string& fileTitle) {
  return device.mode == DeviceMode::kNormal &&
         FileNamedForCamera(WideAscii(device.model).c_str(), WideAscii(fileTitle).c_str());
}

Choice Refuse(int code, std::string message) {
  Choice choice;
  choice.exitCode = code;
  choice.message = std::move(message);
  return choice;
}

void Take(std::vector<std::size_t>& chosen, std::size_t index) {
  if (std::find(chosen.begin(), chosen.end(), index) == chosen.end()) {
    chosen.push_back(index);
  }
}

// The cameras named by serial or port; a name that matches nothing ends the run.
bool TakeNamed(const Options& options, const std::vector<ListedDevice>& devices,
               std::vector<std::size_t>& chosen, std::string* missing) {
  for (const std::string& serial : options.cameras) {
    bool found = false;
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (!devices[i].serial.empty() && SameNoCase(devices[i].serial, serial)) {
        Take(chosen, i);
        found = true;
      }
    }
    if (!found) {
      *missing = "no device with the serial " + serial + " is connected";
      return false;
    }
  }
  for (const std::string& port : options.ports) {
    bool found = false;
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (SameNoCase(PortOfLocation(devices[i].locationPath), port)) {
        Take(chosen, i);
        found = true;
      }
    }
    if (!found) {
      *missing = "no device is connected at the USB port " + port;
      return false;
    }
  }
  return true;
}

}  // namespace

std::string DescribeDevice(const ListedDevice& device) {
  std::string text = "serial " + (device.serial.empty() ? std::string("(none)") : device.serial);
  const std::string port = PortOfLocation(device.locationPath);
  text += ", port " + (port.empty() ? std::string("(unknown)") : port);
  text += ", " + (device.model.empty() ? device.name : device.model);
  text += ", " + VidPidText(device.vid, device.pid);
  return text;
}

Choice ChooseCameras(const Options& options, const std::vector<ListedDevice>& devices,
                     const std::string& fileTitle) {
  Choice choice;
  std::string missing;
  if (!TakeNamed(options, devices, choice.chosen, &missing)) {
    return Refuse(kExitNoCamera, missing);
  }
  const bool named = !choice.chosen.empty();
  std::vector<std::size_t> forFile;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (NamedFor(devices[i], fileTitle)) {
      forFile.push_back(i);
    }
  }
  if (options.all) {
    for (const std::size_t i : forFile) {
      Take(choice.chosen, i);
    }
  } else if (!named) {
    if (forFile.size() > 1) {
      std::string text = "more than one camera is named by " + fileTitle +
                         "; choose with --camera, --port or --all:";
      for (const std::size_t i : forFile) {
        text += "\n  " + DescribeDevice(devices[i]);
      }
      return Refuse(kExitRefused, text);
    }
    choice.chosen = forFile;
  }
  if (choice.chosen.empty()) {
    return Refuse(kExitNoCamera, "no connected camera is named by " + fileTitle);
  }
  std::sort(choice.chosen.begin(), choice.chosen.end());

  // The dialog's refusals, before anything is written.
  for (const std::size_t i : choice.chosen) {
    const ListedDevice& device = devices[i];
    if (device.mode == DeviceMode::kNormal && !NamedFor(device, fileTitle) && !options.yes) {
      return Refuse(kExitRefused, "the file " + fileTitle + " is not named for the camera " +
                                      DescribeDevice(device) + "; --yes sends it all the same");
    }
  }
  const auto sunplus = std::count_if(devices.begin(), devices.end(), [](const ListedDevice& d) {
    return d.route == Route::kSunplusLibrary;
  });
  for (const std::size_t i : choice.chosen) {
    if (devices[i].route == Route::kSunplusLibrary && sunplus > 1) {
      return Refuse(kExitRefused, Utf8(kTextMoreThanOneCamera));
    }
  }
  return choice;
}

}  // namespace veltra::console
