// The maker's cameras whose update mode is the vendor-request DFU device: the generic camera
// (InitExtensionUnit + FirmwareUpdate), Pesca (SetExtensionUnitValueForPesca(5, 1)), Tarsa
// (FallbacktoFWTarsa) and the model the library restricts.
//
// In normal mode a camera shows a video and a HID interface under its own product ID and answers
// the library. Its mode switch makes it leave the bus and come back under its update product ID
// (DF00, DF01 for Pesca) speaking DFU through an embedded DfuEngine; when a download ends it boots
// as described in sim/cameras/update_session.h, back under its normal product ID with the same
// serial and the version of what it received.
#pragma once

#include <cstdint>
#include <string>

#include "sim/cameras/camera_device.h"
#include "sim/cameras/update_session.h"
#include "sim/dfu_camera.h"
#include "sim/dfu_engine.h"

namespace veltra::sim {

constexpr std::uint16_t kGenericCameraPid = 0xC1D0;
constexpr std::uint16_t kPescaPid = 0xC123;
constexpr std::uint16_t kPescaPid2 = 0xC129;
constexpr std::uint16_t kTarsaPid = 0xC05C;
constexpr std::uint16_t kRestrictedPid = 0xC0FF;

class DfuModeCamera : public CameraDevice {
 public:
  struct Options {
    std::uint16_t pid = kGenericCameraPid;
    std::uint16_t updatePid = kDfuPid;
    std::wstring serial = L"ABC1234567";  // empty: no serial
    std::wstring name = L"Veltra_RX40_MH";
    FirmwareVersion version;
    // InitExtensionUnit answers non-zero (the maker's generic extension unit).
    bool extensionUnit = true;
    // Plugged in while already waiting in update mode.
    bool startInUpdateMode = false;
    DfuEngine::Config engine;
  };

  explicit DfuModeCamera(Options options);

  UsbId Id() const override;
  DeviceMode BusMode() const override;
  std::wstring FamilySerial() const override { return L"VELTRA-DFU-MODE-0001"; }
  std::wstring Description() const override;
  std::wstring FriendlyName() const override;
  bool HasVideoInterface() const override;
  bool HasHidInterface() const override;
  bool OnControl(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred) override;

  bool OpensExtensionUnit() const override;
  bool ReadVersion(FirmwareVersion* version) override;
  std::int32_t ResetCamera() override;
  // Comes back in the mode it was in (a camera in update mode keeps waiting for firmware), with
  // its DFU state back at the start.
  void PowerCycle() override;

  // ---- inspection ----
  bool InUpdateMode() const;
  FirmwareVersion Version() const;
  DfuEngine& engine() { return engine_; }
  DfuFlash Flash() const { return engine_.Flash(); }
  // Times the camera booted new firmware it received.
  int UpdatesCompleted() const;

 protected:
  // The mode switch every family ends in: leave, come back in update mode. 1, or 0 when the
  // camera is already there.
  std::int32_t SwitchToUpdateMode();
  // A library command in normal mode: counts the transfer; false when it must fail.
  bool AcceptCommand();

 private:
  void OnManifest();
  void OnResetRequest();
  void Boot(UpdateSession::Next next);

  Options options_;
  bool updateMode_ = false;
  FirmwareVersion version_;
  int updatesCompleted_ = 0;
  UpdateSession session_;
  DfuEngine engine_;
};

// 7E51:C1D0 by default: InitExtensionUnit, FirmwareUpdate(image type) → DF00.
class GenericCamera : public DfuModeCamera {
 public:
  GenericCamera();
  explicit GenericCamera(Options options);
  std::int32_t FirmwareUpdate(std::uint8_t imageType) override;

  // What FirmwareUpdate answers when it switches (1 unless told otherwise; the download engine
  // acts on 50 for combined images of type 1).
  void SetFirmwareUpdateResult(std::int32_t result);
  std::uint8_t LastImageType() const;

 private:
  std::int32_t updateResult_ = 1;
  std::uint8_t lastImageType_ = 0;
};

// 7E51:C123 (or C129): the Pesca family; SetExtensionUnitValueForPesca(5, 1) → DF01.
class PescaCamera : public DfuModeCamera {
 public:
  PescaCamera();
  explicit PescaCamera(Options options);
  CameraFamily Family() const override;
  std::int32_t SetPescaUpdateMode(std::int32_t selector, std::int32_t value) override;
};

// 7E51:C05C: the Tarsa family; FallbacktoFWTarsa → DF00.
class TarsaCamera : public DfuModeCamera {
 public:
  TarsaCamera();
  explicit TarsaCamera(Options options);
  CameraFamily Family() const override;
  std::int32_t FallbackToUpdateMode() override;
};

// 7E51:C0FF: a model the library restricts (never listed); otherwise a generic camera.
class RestrictedCamera : public GenericCamera {
 public:
  RestrictedCamera();
};

// Options preset for each family (name, product IDs); the caller may change any field.
DfuModeCamera::Options PescaOptions();
DfuModeCamera::Options TarsaOptions();

}  // namespace veltra::sim
