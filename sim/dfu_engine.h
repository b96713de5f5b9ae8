// The DFU-mode protocol of the maker's cameras as a reusable component: the states, the vendor
// requests, a flash model and the device's answers. The standalone DFU camera (sim/dfu_camera.h),
// the family cameras and the device the FX3 boot loader starts all embed one and hand it their
// control transfers while they are in update mode.
//
// The device model (docs/bench.md keeps the prose version):
//  - States are the DFU 1.1 values plus two of the maker's own: 13 after a successful MCU verify,
//    17 after a successful FPGA verify.
//  - Every data request (0x01 image, 0x0B MCU text, 0x0F FPGA bitstream) is accepted in dfuIDLE,
//    dfuDNLOAD-IDLE and the two verified states; the device then answers dfuDNBUSY to a
//    configurable number of status reads before it reports dfuDNLOAD-IDLE.
//  - A short image block of 64k + 1 bytes (k >= 1) that ends in 0xFF carries a terminator byte
//    that the host adds so that the data stage never ends on a full packet; the device drops it.
//  - Erase (0x0E) clears the image region and keeps the device busy for a set time on the
//    program's clock: every status read until then answers dfuDNBUSY. MCU verify (0x0C, read back
//    with 0x0D) needs MCU text received since the last manifest; FPGA verify (0x10, read back with
//    0x11) checks the FPGA region is ready and so comes before the bitstream.
//  - The zero-length download request ends a download. How the camera ends it is not documented,
//    so it is a switch (DownloadEnd): it enters dfuMANIFEST-SYNC and the status read that follows
//    completes the manifest (the manifest hook runs then); or it manifests at once and leaves
//    without answering that read; or it leaves during the zero-length request itself (the request
//    fails); or it answers that read with dfuERROR, stays in update mode and keeps its firmware
//    (an image check that fails: every download ends so while the switch is set).
//  - Pacing the camera needs (switched on by default; off only for a test of something else):
//    a status read less than 20 ms after the last answered one is stalled; while the MCU writes
//    a chunk (50 ms) a status read is stalled and a further chunk lost, and the MCU verify then
//    fails; an image block less than 50 ms after the erase request is lost; the MCU verify takes
//    10 s, and its status read before then answers dfuDNBUSY.
//  - Whatever a real device would stall in its current state (data in dfuERROR, a verify before
//    any data, CLRSTATUS outside dfuERROR, an unknown request) fails the transfer and moves the
//    device to dfuERROR.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/usb_transport.h"

namespace veltra::sim {

class VirtualDevice;

// Device states (bState).
namespace dfu_state {
constexpr std::uint8_t kAppIdle = 0;
constexpr std::uint8_t kAppDetach = 1;
constexpr std::uint8_t kIdle = 2;
constexpr std::uint8_t kDnloadSync = 3;
constexpr std::uint8_t kDnBusy = 4;
constexpr std::uint8_t kDnloadIdle = 5;
constexpr std::uint8_t kManifestSync = 6;
constexpr std::uint8_t kManifest = 7;
constexpr std::uint8_t kManifestWaitReset = 8;
constexpr std::uint8_t kUploadIdle = 9;
constexpr std::uint8_t kError = 10;
constexpr std::uint8_t kMcuVerified = 13;
constexpr std::uint8_t kFpgaVerified = 17;
}  // namespace dfu_state

// Request numbers the device understands (all vendor requests to the device).
namespace dfu_request {
constexpr std::uint8_t kDetach = 0x00;
constexpr std::uint8_t kDownload = 0x01;  // image data; with no data it is the zero-length end
constexpr std::uint8_t kGetStatus = 0x03;
constexpr std::uint8_t kClearStatus = 0x04;
constexpr std::uint8_t kAbort = 0x06;
constexpr std::uint8_t kMcuData = 0x0B;
constexpr std::uint8_t kMcuVerify = 0x0C;
constexpr std::uint8_t kMcuVerifyStatus = 0x0D;
constexpr std::uint8_t kErase = 0x0E;
constexpr std::uint8_t kFpgaData = 0x0F;
constexpr std::uint8_t kFpgaVerify = 0x10;
constexpr std::uint8_t kFpgaVerifyStatus = 0x11;
constexpr std::uint8_t kReset = 0x32;
constexpr std::uint16_t kResetIndex = 4;
}  // namespace dfu_request

// What the device holds. Each region keeps its bytes in arrival order.
struct DfuFlash {
  std::vector<std::uint8_t> mcu;    // MCU text (0x0B)
  std::vector<std::uint8_t> fpga;   // FPGA bitstream (0x0F)
  std::vector<std::uint8_t> image;  // image data (0x01), terminator bytes dropped
  // The image data split at each completed manifest: a two-pass combined image shows its two
  // parts here. The last entry is the section still being written (possibly empty).
  std::vector<std::vector<std::uint8_t>> imageSections{{}};
  int eraseCount = 0;
  int manifestCount = 0;
  int terminatorBytesDropped = 0;
  int lostBlocks = 0;  // data requests taken too soon after the last (pacing) and dropped
};

// One data request as the device received it.
struct DfuBlock {
  std::uint8_t request = 0;
  std::uint32_t length = 0;  // bytes accepted in the data stage
};

// How a camera ends a DFU download (see the model above).
enum class DownloadEnd : std::uint8_t {
  kAnswerThenRestart,        // answers the status read after the zero-length request, then boots
  kRestartAtOnce,            // boots at once; that status read finds it gone
  kRestartDuringZeroLength,  // boots during the zero-length request, which fails
  kErrorState,               // answers dfuERROR to that read and keeps its firmware
  kRestartIntoUpdateMode,    // restarts at once, but the image does not start: it comes back in
                             // its update mode
};

// The pauses the camera needs between requests. The defaults are the camera's; zero switches
// one off.
struct Pacing {
  std::uint32_t statusGapMs = 20;     // after an answered status read, before the next one
  std::uint32_t mcuChunkGapMs = 50;   // after an MCU chunk, before the next one
  std::uint32_t eraseGapMs = 50;      // after the erase request, before an image block
  std::uint32_t mcuVerifyMs = 10000;  // the MCU verify's own time
  static Pacing None() { return Pacing{0, 0, 0, 0}; }
};

class DfuEngine {
 public:
  struct Config {
    std::uint8_t initialState = dfu_state::kIdle;
    int busyPolls = 1;  // status reads answered with dfuDNBUSY after each data request
    // How long an erase keeps the device busy on the program's clock: status reads answer
    // dfuDNBUSY until it has passed. Data sent meanwhile is taken into the device's buffer.
    std::uint32_t eraseMs = 2000;
    DownloadEnd downloadEnd = DownloadEnd::kAnswerThenRestart;
    Pacing pacing;
  };
  using Hook = std::function<void()>;

  // owner: the device the engine speaks for; its fault plan applies to every transfer handled
  // here, and a disconnect fault makes it leave its bus.
  explicit DfuEngine(VirtualDevice& owner);
  DfuEngine(VirtualDevice& owner, Config config);

  // Handles one control transfer on the default pipe. Counts the transfer against the owner's
  // fault plan first. Returns false (transferred 0 or short) when the device stalls it.
  bool OnControl(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred);

  // ---- bench controls ----
  // Runs (outside every lock) when a manifest completes after a download: a camera re-enumerates
  // into its normal mode here.
  void SetManifestHook(Hook hook);
  // Runs when the reset request (0x32, wValue 1, wIndex 4) was accepted.
  void SetResetHook(Hook hook);
  void SetState(std::uint8_t state);
  void SetBusyPolls(int polls);
  // The erase time (a flash-wide erase takes up to two minutes; 0 = done at once).
  void SetEraseMs(std::uint32_t ms);
  void SetDownloadEnd(DownloadEnd end);
  // Whether a completed download starts the image (false: the camera comes back in its update
  // mode, DownloadEnd::kRestartIntoUpdateMode).
  bool BootsImage() const;
  void SetPacing(const Pacing& pacing);
  // Back to the configured initial state as after a power cycle; the flash is kept.
  void Restart();
  void ClearFlash();

  // ---- inspection ----
  std::uint8_t State() const;
  std::uint32_t EraseMs() const;
  DfuFlash Flash() const;
  std::vector<DfuBlock> Blocks() const;
  // Requests received, in order (every control transfer that reached the engine).
  std::vector<SetupPacket> Requests() const;

 private:
  enum class After { kNothing, kManifest, kReset };
  bool Handle(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred,
              After* after);
  bool Stall();
  bool OnData(const SetupPacket& setup, const std::uint8_t* data, std::uint32_t* transferred);
  bool OnStatusRead(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred,
                    After* after);
  bool OnVerifyRead(std::uint8_t verifiedState, const SetupPacket& setup, std::uint8_t* data,
                    std::uint32_t* transferred);
  static bool AcceptsData(std::uint8_t state);
  bool OnZeroLength(After* after);
  void CompleteManifest(After* after);
  // Whether less than gapMs has passed on the program's clock since sinceMs (never for a gap of 0,
  // when nothing was noted, or without a clock).
  static bool TooSoon(std::uint32_t gapMs, bool noted, std::uint64_t sinceMs);

  VirtualDevice& owner_;
  Config config_;
  mutable std::mutex mutex_;
  Hook manifestHook_;
  Hook resetHook_;
  std::uint8_t state_;
  int busyLeft_ = 0;
  std::uint64_t eraseEndsMs_ = 0;  // program clock at which the running erase is done
  // Program clock of the last answered status read, MCU chunk taken, erase request and MCU
  // verify request, each with whether one came since the camera started (the flags below).
  std::uint64_t lastStatusMs_ = 0;
  std::uint64_t lastMcuChunkMs_ = 0;
  std::uint64_t eraseRequestMs_ = 0;
  std::uint64_t mcuVerifyMs_ = 0;
  bool stuck_ = false;
  bool mcuSinceManifest_ = false;
  bool dataSinceManifest_ = false;
  bool statusAnswered_ = false;
  bool mcuChunkTaken_ = false;
  bool eraseRequested_ = false;
  bool mcuChunkLost_ = false;  // an MCU chunk was lost since the last manifest: no verify
  DfuFlash flash_;
  std::vector<DfuBlock> blocks_;
  std::vector<SetupPacket> requests_;
};

}  // namespace veltra::sim
