// A maker's camera built on an NXP i.MX RT1060 (7E51:C2A0). One device in three modes:
//
//  - camera (7E51:C2A0, video + HID): InitExtensionUnit, FirmwareUpdate → leaves the bus and its
//    firmware drops to the chip's ROM; the version it reports is the stamp of the image in its
//    flash at 0x60001000.
//  - ROM (1FC9:0135, HID): sim::Rt1060Rom; a jump to the loaded flash loader makes it leave and
//    come back as the flash loader.
//  - flash loader (7E51:DF02, HID): sim::FlashLoader over the camera's FlexSPI NOR flash; at the
//    end of the session (or a reset, or a power cycle) the chip restarts and boots the flash when
//    it holds a boot configuration block and an image that was written whole (an erase or a write
//    broken off leaves none), back as 7E51:C2A0; otherwise it comes back as the ROM.
//
// The flash loader's answers are read through a handle of the program's own (ReadHidInput). A
// read counts as a transfer and takes the fault planned for it: error, short or disconnect fail
// the read and lose the answer; a time-out loses it too (the channel charges the time); in the
// error state the device answers with the failure status. An answer never sent (a dropped or
// malformed command, a restart) is not there to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/cameras/camera_device.h"
#include "sim/dfu_camera.h"
#include "sim/flash_loader.h"
#include "sim/rt1060_rom.h"
#include "sim/sparse_memory.h"

namespace veltra::sim {

constexpr std::uint16_t kNxpCameraPid = 0xC2A0;

class NxpCamera : public CameraDevice {
 public:
  enum class Mode { kCamera, kRom, kFlashLoader };
  struct Options {
    std::wstring serial = L"NXP0000001";
    std::wstring name = L"Veltra_NX20";
    // The firmware in the flash at the start: a boot block and an image of factoryImageLength
    // bytes stamped with version (it reaches past the region the updater erases).
    FirmwareVersion version;
    std::size_t factoryImageLength = 128 * 1024;
    // kRom / kFlashLoader: found waiting there; kRom starts with a blank flash.
    Mode startMode = Mode::kCamera;
    // How long the flash loader's commands take and the pause it needs between data packets.
    FlashLoader::Timing loader;
  };

  NxpCamera();
  explicit NxpCamera(Options options);

  UsbId Id() const override;
  DeviceMode BusMode() const override;
  std::wstring FamilySerial() const override { return L"VELTRA-FLASH-LOADER-01"; }
  std::wstring Description() const override;
  std::wstring FriendlyName() const override;
  bool HasVideoInterface() const override;
  bool HasHidInterface() const override;
  bool OnHidReport(const std::uint8_t* report, std::size_t length, int flag) override;
  // The next HID input report that is there by deadlineMs on the program's clock, its first
  // bytes (at most capacity, *got of them) copied into report; *readyMs: when it came.
  enum class InputRead { kReport, kNothing, kFailed };
  InputRead ReadHidInput(std::uint8_t* report, std::size_t capacity, std::size_t* got,
                         std::uint64_t deadlineMs, std::uint64_t* readyMs);
  // A fresh read handle's queue starts empty: answers sent before it opened are not in it.
  void FlushHidInput();
  // The flash loader's timing switches (Options::loader), set after the camera was made.
  void SetLoaderTiming(const FlashLoader::Timing& timing);

  bool OpensExtensionUnit() const override;
  std::int32_t FirmwareUpdate(std::uint8_t imageType) override;
  bool ReadVersion(FirmwareVersion* version) override;
  std::int32_t ResetCamera() override;
  // The flash loader lives in RAM: the chip boots its flash, or falls to the ROM.
  void PowerCycle() override;

  // ---- inspection ----
  Mode CurrentMode() const;
  std::vector<std::uint8_t> FlashBytes(std::uint32_t address, std::size_t length) const;
  FirmwareVersion Version() const;  // of the image in the flash (0.0.0.0 without a stamp)
  Rt1060Rom Rom() const;            // copies of the components' state
  std::vector<BlCommandRecord> LoaderCommands() const;
  bool LoaderConfigured() const;
  int LoaderDataPackets() const;
  // HID reports received in each mode, with the flag the library was given.
  struct Report {
    Mode mode = Mode::kCamera;
    std::size_t length = 0;
    int flag = 0;
  };
  std::vector<Report> Reports() const;

 private:
  void Restart();  // the chip restarts: boots the flash or falls to the ROM

  Options options_;
  Mode mode_;
  SparseMemory flash_{0xFF};
  Rt1060Rom rom_;
  FlashLoader loader_{flash_};
  std::vector<Report> reports_;
};

}  // namespace veltra::sim
