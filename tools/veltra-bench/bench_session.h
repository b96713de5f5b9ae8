// One veltra-bench run: the bench's ports (instant virtual clock, USB transport over the virtual
// bus, optional traffic log, console dialog), the firmware file read and parsed by the program's
// own code, and a route that puts its devices on the bus, runs the program's logic and says what
// the device now holds. Routes are separate classes so that the FX3 and NXP routes can join the
// DFU route without touching the session.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/shown_controls.h"
#include "console-dialog/console_dialog.h"
#include "image/firmware_image.h"
#include "sim/bench_ports.h"
#include "sim/bus.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_system.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "sim/virtual_clock.h"
#include "veltra-bench/bench_options.h"
#include "veltra-bench/file_reading.h"

namespace veltra::bench {

// Exit codes of a run.
constexpr int kExitSuccess = 0;       // the update succeeded and the device holds the payloads
constexpr int kExitUpdateFailed = 1;  // the program reported a failure, or the device differs
constexpr int kExitBadInput = 2;      // bad command line, unreadable or unusable file

// What the program's own parser made of the file (the direct route needs it to start the worker
// as the program would), copied before the engines release the payloads.
struct FilePayloads {
  std::shared_ptr<const ParsedImage> image;
  ByteView part1;
  ByteView part2;
  bool mcu = false;
  bool fpga = false;
  bool combined = false;
  std::uint8_t imageType = 0;
};

class Session;

class Route {
 public:
  virtual ~Route() = default;
  virtual const char* Name() const = 0;
  // Puts the route's devices on the bus and opens them as the program would. False: cannot run.
  virtual bool Prepare(Session& session) = 0;
  // The program's results a route tells apart.
  static constexpr int kFailed = 0;
  static constexpr int kSucceeded = 1;
  // The write was sent but could not be confirmed (the flash loader's answers could not be
  // read): what the camera holds decides.
  static constexpr int kUnconfirmed = 2;
  // Runs the program's logic; returns the program's result (one of the above).
  virtual int Run(Session& session) = 0;
  // Prints what the device holds against the bench's own reading of the file; true when it holds
  // what it should.
  virtual bool Report(Session& session) = 0;
};

std::unique_ptr<Route> MakeRoute(const std::string& name);

// "  <region>: N bytes, equals|differs from <what> (M bytes)"; true when equal.
bool CompareRegion(std::ostream& out, const std::string& region,
                   const std::vector<std::uint8_t>& held, const std::vector<std::uint8_t>& expected,
                   const std::string& what);

class Session {
 public:
  // out: what the run shows; err: usage and file errors.
  Session(Options options, std::ostream& out, std::ostream& err);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs the whole scenario; returns one of the exit codes.
  int Run();

  const Options& options() const { return options_; }
  std::ostream& out() { return out_; }
  sim::Bus& bus() { return bench_.bus(); }
  sim::VirtualClock& clock() { return bench_.clock(); }
  sim::SimSystem& system() { return bench_.system(); }
  ConsoleDialog& dialog() { return dialog_; }
  // What the program shows of the dialog's controls (the dialog port, in front of dialog()).
  const ShownControls& shown() const { return shown_; }
  sim::SimDiscovery& discovery() { return bench_.discovery(); }
  sim::SimVendorLibrary& vendor() { return bench_.vendor(); }
  const FilePayloads& file() const { return file_; }
  const FileReading& reading() const { return reading_; }
  // Splits the file with the program's own code, as Browse does. False (and said) when the
  // program does not take it.
  bool SplitWithProgram();

 private:
  bool LoadFirmware();

  Options options_;
  std::ostream& out_;
  sim::BenchPorts bench_;
  ConsoleDialog dialog_;
  ShownControls shown_{dialog_};
  std::ostream& err_;
  std::vector<std::uint8_t> bytes_;
  FileReading reading_;
  FilePayloads file_;
};

}  // namespace veltra::bench
