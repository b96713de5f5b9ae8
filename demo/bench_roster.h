// The demo's virtual cameras: which ones sit on the bench, in which mode they start, and the text
// forms the demo reads from its environment (the cameras, the clock's speed) and its bench window
// takes as commands (plug, unplug, set a fault).
//
// A roster is a comma-separated list of camera kinds, in plug order:
//
//   generic,pesca,nxp              the default: three cameras in their normal firmware
//   -cx3                           a camera the bench knows but that starts unplugged
//   generic:RX4A000042             an explicit USB serial (up to 126 letters and digits)
//   generic:                       no serial at all (Windows then makes up an instance ID)
//   none                           no camera at all
//   nxp+laxreports                 a check of the hardware switched off for this camera:
//                                  laxsetup (DFU request fields), laxreports (HID report
//                                  lengths), laxrecords (Cypress record fields), lax (all three)
//   generic+erase=120              the camera's DFU erase keeps it busy 120 s (0 to 120; the
//                                  bench's default is 2 s); kinds that speak the DFU requests only
//   nxp+serial=none                what nothing documents about the camera (sim::Unknowns):
//   nxp+hid=shared                 the serial its update modes report (own, none, family), the
//   nxp+late=50                    flash loader's HID device held without sharing or shared,
//   nxp+port=same                  seconds a new identity arrives late (0 to 50) and whether
//                                  its boot modes return on the connector's USB 2 port; the
//                                  bench's harsh defaults (family, held, companion), except that
//                                  the demo, which runs in real time, returns without a driver
//                                  install unless +late says otherwise
//   generic+end=at-once            how the camera ends a DFU download: answer (the default:
//                                  answers the status read after the zero-length request, then
//                                  restarts), at-once, during-zlp, error, no-boot (DFU kinds only)
//   generic+unpaced                the camera does not need its pauses (by default it does)
//   dfu+denied                     Windows refuses this user a handle to the camera's USB device
//                                  (a device whose security admits administrators only)
//   nxp+loadererase=0              the flash loader's erase of the image region takes 0 to 30 s
//                                  (the default, the slowest); NXP kinds only
//
// Several cameras of one kind get distinct serials unless told otherwise: the program finds an
// updated camera again by its serial, so two cameras sharing one would be a different test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/cameras/camera_device.h"
#include "sim/dfu_engine.h"
#include "sim/virtual_device.h"

namespace veltra::demo {

enum class CameraKind {
  kGeneric,     // "Veltra_RX40_MH", 7E51:C1D0, FirmwareUpdate → DF00
  kPesca,       // 7E51:C123, SetExtensionUnitValueForPesca → DF01
  kTarsa,       // 7E51:C05C, FallbacktoFWTarsa → DF00
  kMirel,       // 7E51:C181, the Sunplus library
  kCx3,         // 04B4:00C3, HID erase and reset → FX3 ROM → DF00
  kNxp,         // 7E51:C2A0, FirmwareUpdate → RT1060 ROM → flash loader DF02
  kRestricted,  // 7E51:C0FF, never listed
  kDfuWaiting,  // a generic camera found already waiting in DF00
  kFx3Rom,      // a CX3 with an empty flash, waiting in its FX3 boot ROM
  kRt1060Rom,   // an NXP camera with a blank flash, waiting in the RT1060 ROM
};

struct CameraEntry {
  CameraKind kind = CameraKind::kGeneric;
  bool serialGiven = false;  // false: the kind's default serial, made distinct per camera
  std::wstring serial;
  bool plugged = true;                          // plugged in when the demo starts
  sim::Strictness strictness;                   // every check on unless the roster switches it off
  std::optional<std::uint32_t> eraseMs;         // the DFU erase time; unset: the bench's default
  std::optional<sim::DownloadEnd> downloadEnd;  // unset: the bench's default
  bool unpaced = false;                         // the camera needs no pauses
  bool openRefused = false;                     // opening its USB device is refused
  std::optional<std::uint32_t> loaderEraseMs;   // the NXP flash loader's erase; unset: default
  sim::Unknowns unknowns = DemoUnknowns();

  // The bench's defaults, but no driver install unless the roster asks for one.
  static sim::Unknowns DemoUnknowns() {
    sim::Unknowns unknowns;
    unknowns.driverInstallMs = 0;
    return unknowns;
  }
};

constexpr char kDefaultRoster[] = "generic,pesca,nxp";

// Parses a roster. On failure returns false and says why in *error (the cameras are left empty).
bool ParseRoster(const std::string& text, std::vector<CameraEntry>* cameras, std::string* error);

// The token of a kind as the roster writes it ("generic", "fx3rom", ...).
const char* KindName(CameraKind kind);

// The clock's speed factor: empty means real time (1); otherwise a number from 0.1 to 1000.
bool ParseSpeed(const std::string& text, double* speed, std::string* error);

// Bench commands, as the bench window's buttons and the test driver (WM_COPYDATA) give them:
//   plug <n>   unplug <n>   fault <n> <kind>@<k>   fault <n> none
// where <n> is the camera's place in the roster (from 0) and the fault strikes the k-th transfer
// the camera receives from now on (0 = the next one). Fault kinds: error, short, stuck,
// error-state (also taken as errorstate), disconnect (sim/fault_names.h).
struct BenchCommand {
  enum class Verb { kPlug, kUnplug, kFault };
  Verb verb = Verb::kPlug;
  std::size_t camera = 0;
  sim::FaultKind fault = sim::FaultKind::kNone;
  int afterTransfers = 0;
};
bool ParseBenchCommand(const std::string& text, BenchCommand* command, std::string* error);
const char* FaultName(sim::FaultKind kind);

// One camera on the bench with what the bench window shows about it.
struct BenchCamera {
  CameraEntry entry;
  std::shared_ptr<sim::CameraDevice> device;
  // The firmware version the camera runs (or would boot) now, "a.b.c.d".
  std::string (*version)(const sim::CameraDevice& device) = nullptr;
};

// Makes the cameras of a roster, each with its serial; none is on a bus yet.
std::vector<BenchCamera> MakeCameras(const std::vector<CameraEntry>& entries);

}  // namespace veltra::demo
