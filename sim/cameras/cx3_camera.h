// A camera built on a Cypress CX3 (USB controller of the FX3 family) with an image processor,
// carrying the maker's extension unit under the Cypress vendor ID. One device in three modes:
//
//  - camera (04B4:00C3, video + HID): answers the HID command reports of the library's CX3
//    channel. 0xAA 0x01 erases its flash (replies "busy", status 1, to a few reads, then 0);
//    0xAA 0x02 resets it (status 3 "failed" for a configurable number of attempts, then it leaves
//    the bus); 0xBB and 0xCC answer the CX3 and image-processor versions. With its flash erased a
//    reset ends in the boot ROM.
//  - boot ROM (04B4:00F3, sim::Fx3Rom): takes the boot image into RAM; the entry request starts
//    the loaded program, which comes back as 7E51:DF00.
//  - loaded program (7E51:DF00): speaks DFU through a DfuEngine (sim/cameras/update_session.h);
//    when the download ends the image is in the flash and the camera boots it, back as 04B4:00C3
//    with the version the image carries. Without a whole image in the flash it boots the ROM.
#pragma once

#include <cstdint>
#include <string>

#include "sim/cameras/camera_device.h"
#include "sim/cameras/update_session.h"
#include "sim/dfu_camera.h"
#include "sim/dfu_engine.h"
#include "sim/fx3_rom.h"

namespace veltra::sim {

constexpr std::uint16_t kCx3CameraPid = 0x00C3;

// The CX3 command reports (byte 0) and reply statuses (byte 1).
namespace cx3 {
constexpr std::uint8_t kFlashCommand = 0xAA;
constexpr std::uint8_t kEraseFlash = 0x01;
constexpr std::uint8_t kResetCamera = 0x02;
constexpr std::uint8_t kCx3VersionQuery = 0xBB;
constexpr std::uint8_t kIspVersionQuery = 0xCC;
constexpr std::uint8_t kStatusDone = 0;
constexpr std::uint8_t kStatusBusy = 1;
constexpr std::uint8_t kStatusResetFailed = 3;
constexpr std::uint8_t kStatusUnknownCommand = 0xFF;
}  // namespace cx3

class Cx3Camera : public CameraDevice {
 public:
  enum class Mode { kCamera, kBootRom, kLoadedProgram };
  struct Options {
    std::wstring serial = L"CX3A000001";
    std::wstring name = L"Veltra_CX3";
    FirmwareVersion version;  // the CX3 firmware: major and minor are reported
    std::uint8_t buildMonth = 3;
    std::uint8_t buildDay = 14;
    std::uint8_t buildYear = 24;
    std::uint8_t ispMajor = 2;
    std::uint8_t ispMinor = 5;
    std::string ispDate = "Mar 14 2024";  // at most 11 characters
    std::string ispTime = "10:20:30";     // at most 11 characters
    // true: InitExtensionUnit answers non-zero (the update takes its CX3 route through it, and
    // the version read then shows nothing). false: the library reaches the unit through its
    // Pesca family channel only (IsPescaDeviceAvail, InitPescaExtensionUnit), the update takes
    // its CX3 route from there, and the version read takes its CX3 route.
    bool extensionUnit = true;
    int eraseBusyReads = 3;  // reads answered "busy" after the erase report
    int queryBusyReads = 0;  // reads answered "busy" after a version query
    int resetFailures = 0;   // reset reports answered "failed" before one succeeds
    // kBootRom: a CX3 with an empty flash, found waiting in its boot ROM.
    Mode startMode = Mode::kCamera;
    DfuEngine::Config engine;
  };

  Cx3Camera();
  explicit Cx3Camera(Options options);

  UsbId Id() const override;
  DeviceMode BusMode() const override;
  std::wstring FamilySerial() const override { return L"VELTRA-CX3-BOOT-IMAGE"; }
  std::wstring Description() const override;
  std::wstring FriendlyName() const override;
  bool HasVideoInterface() const override;
  bool HasHidInterface() const override;
  bool OnControl(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred) override;
  bool OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data) override;

  bool OpensExtensionUnit() const override;
  CameraFamily Family() const override;
  bool ReadVersion(FirmwareVersion* version) override;
  bool HasCommandChannel() const override;
  std::int32_t CommandChannelState(std::uint8_t* reply64) override;
  bool SendCommandReport(const std::uint8_t* report, std::size_t length) override;
  bool ReadCommandReply(std::uint8_t* reply64) override;
  // The loaded program lives in RAM: the camera boots from its flash, or its boot ROM.
  void PowerCycle() override;

  // ---- inspection ----
  Mode CurrentMode() const;
  bool FlashHoldsFirmware() const;
  FirmwareVersion Version() const;
  Fx3Rom Rom() const;  // a copy of the ROM's state (RAM, writes)
  DfuEngine& engine() { return engine_; }
  DfuFlash Flash() const { return engine_.Flash(); }

 private:
  void BuildReply(std::uint8_t command, std::uint8_t status);
  void OnManifest();
  void OnResetRequest();
  void BootFromFlash();

  Options options_;
  Mode mode_;
  bool flashValid_;
  FirmwareVersion version_;
  // The reply to the last command report.
  bool replyReady_ = false;
  std::uint8_t reply_[kHidReplySize] = {};
  int busyReadsLeft_ = 0;
  bool stuck_ = false;
  int resetFailuresLeft_;
  Fx3Rom rom_;
  UpdateSession session_;
  DfuEngine engine_;
};

}  // namespace veltra::sim
