// The bench's switches as a dimension of the fault matrix (fault_matrix_test.cpp): each value of
// a switch is set on the camera of a case before its first update. A switch is a row of
// Switches(); its values are named "<switch>=<value>" for VELTRA_FAULTS_SWITCHES.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {

// One value of a switch: set on the camera of a case before its first update, and, where the
// value stands for a fault of one try (an image check that fails), put back before the second.
struct SwitchValue {
  std::string name;  // "end=at-once"
  std::function<void(sim::CameraDevice&)> set;
  std::function<void(sim::CameraDevice&)> beforeRetry;  // null: the camera keeps the value
  // CI's sample leaves out a value the matrix's cameras have anyway (their defaults run it).
  bool sampled = true;
};

struct BenchSwitch {
  std::vector<SwitchValue> values;  // each a value other than the bench's default
  std::function<bool(sim::CameraDevice&)> appliesTo;
};

inline sim::DfuEngine* EngineOf(sim::CameraDevice& device) {
  if (auto* dfu = dynamic_cast<sim::DfuModeCamera*>(&device)) {
    return &dfu->engine();
  }
  if (auto* cx3 = dynamic_cast<sim::Cx3Camera*>(&device)) {
    return &cx3->engine();
  }
  return nullptr;
}

inline std::function<void(sim::CameraDevice&)> SetEnd(sim::DownloadEnd end) {
  return [end](sim::CameraDevice& device) { EngineOf(device)->SetDownloadEnd(end); };
}

// Switch 2, how a camera ends a DFU download (its default answers the status read, then restarts).
inline BenchSwitch DownloadEndSwitch() {
  return {{{"end=at-once", SetEnd(sim::DownloadEnd::kRestartAtOnce), nullptr},
           {"end=during-zlp", SetEnd(sim::DownloadEnd::kRestartDuringZeroLength), nullptr},
           {"end=error", SetEnd(sim::DownloadEnd::kErrorState),
            SetEnd(sim::DownloadEnd::kAnswerThenRestart)},
           {"end=no-boot", SetEnd(sim::DownloadEnd::kRestartIntoUpdateMode),
            SetEnd(sim::DownloadEnd::kAnswerThenRestart)}},
          [](sim::CameraDevice& device) { return EngineOf(device) != nullptr; }};
}

inline std::function<void(sim::CameraDevice&)> SetUnknown(
    const std::function<void(sim::Unknowns&)>& change) {
  return [change](sim::CameraDevice& device) {
    sim::Unknowns unknowns = device.unknowns();
    change(unknowns);
    device.SetUnknowns(unknowns);
  };
}

inline std::function<void(sim::CameraDevice&)> SetSerial(sim::UpdateModeSerial serial) {
  return SetUnknown([serial](sim::Unknowns& u) { u.updateModeSerial = serial; });
}

// Switch 1, the serial every update mode of the camera reports (the bench's default is the
// family's fixed one).
inline BenchSwitch UpdateModeSerialSwitch() {
  return {{{"serial=own", SetSerial(sim::UpdateModeSerial::kCameraSerial), nullptr},
           {"serial=none", SetSerial(sim::UpdateModeSerial::kNone), nullptr},
           {"serial=family", SetSerial(sim::UpdateModeSerial::kFamilySerial), nullptr, false}},
          [](sim::CameraDevice&) { return true; }};
}

inline std::function<void(sim::CameraDevice&)> SetLoaderHid(bool held) {
  return SetUnknown([held](sim::Unknowns& u) { u.exclusiveLoaderHid = held; });
}

// Switch 5, whether the camera library holds the NXP flash loader's HID device without sharing
// (then the flash loader's answers cannot be read).
inline BenchSwitch LoaderHidSwitch() {
  return {
      {{"hid=held", SetLoaderHid(true), nullptr},
       {"hid=shared", SetLoaderHid(false), nullptr, false}},
      [](sim::CameraDevice& device) { return dynamic_cast<sim::NxpCamera*>(&device) != nullptr; }};
}

inline std::vector<BenchSwitch> Switches() {
  return {UpdateModeSerialSwitch(), DownloadEndSwitch(), LoaderHidSwitch()};
}

}  // namespace veltra::test
