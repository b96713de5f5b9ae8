// The Mirel family: a Sunplus-based camera (7E51:C181; the same silicon may enumerate as the
// chip vendor's 1BCF:0B12). Video only. It answers IsMirel_DeviceAvail, InitMirelExtensionUnit,
// GetFirmwareVersionMirel and ResetDeviceMirel; its firmware is written by the chip vendor's
// library, whose bench model hands the image over with ReceiveImage and then restarts the
// camera with Reboot. The version reported is the stamp of the last image received.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/cameras/camera_device.h"
#include "sim/dfu_camera.h"

namespace veltra::sim {

constexpr std::uint16_t kMirelPid = 0xC181;
constexpr std::uint16_t kSunplusCameraPid = 0x0B12;

class MirelCamera : public CameraDevice {
 public:
  struct Options {
    std::wstring serial = L"MRL0000001";
    std::wstring name = L"Veltra_Mirel";
    FirmwareVersion version;
    bool sunplusIds = false;  // enumerate as 1BCF:0B12
  };

  MirelCamera();
  explicit MirelCamera(Options options);

  UsbId Id() const override;
  std::wstring Description() const override;
  bool HasVideoInterface() const override { return true; }

  CameraFamily Family() const override { return CameraFamily::kMirel; }
  bool ReadVersion(FirmwareVersion* version) override;
  std::int32_t ResetCamera() override;

  // ---- the Sunplus library's side ----
  // Stores a firmware image (counted as one transfer against the fault plan); false when the
  // transfer failed. The camera runs the new image after Reboot.
  bool ReceiveImage(const std::uint8_t* data, std::size_t length);
  // Restarts the camera (leaves the bus and comes back) with the last image received.
  void Reboot();

  // ---- inspection ----
  std::vector<std::uint8_t> Image() const;  // the last image received
  int ImagesReceived() const;
  FirmwareVersion Version() const;

 private:
  Options options_;
  FirmwareVersion version_;
  FirmwareVersion pendingVersion_;
  bool pending_ = false;
  std::vector<std::uint8_t> image_;
  int imagesReceived_ = 0;
};

}  // namespace veltra::sim
