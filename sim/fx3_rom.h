// The Cypress FX3 boot ROM's USB boot, as a component of the device that contains the chip (the
// CX3 camera, sim/cameras/cx3_camera.h, in its boot-ROM mode, 04B4:00F3).
//
// It takes the vendor request 0x40/0xA0: with data, a write of at most 2048 bytes into the
// controller's RAM at wIndex << 16 | wValue; without data, the entry request, which starts the
// program at that address. Writes outside the RAM regions (I-TCM, D-TCM, system RAM), longer
// writes, other requests and an entry point outside what was loaded are refused (stalled).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/usb_transport.h"
#include "sim/sparse_memory.h"

namespace veltra::sim {

constexpr std::uint16_t kFx3RomPid = 0x00F3;

class Fx3Rom {
 public:
  enum class Result { kAccepted, kRefused, kStart };
  struct Write {
    std::uint32_t address = 0;
    std::uint32_t length = 0;
  };

  // One request; on kStart, EntryAddress() is the program's entry point.
  Result OnRequest(const SetupPacket& setup, const std::uint8_t* data);
  // Power-on: RAM cleared, nothing loaded.
  void Restart();

  std::vector<std::uint8_t> Ram(std::uint32_t address, std::size_t length) const;
  std::vector<Write> Writes() const { return writes_; }
  std::uint32_t EntryAddress() const { return entry_; }
  int RefusedRequests() const { return refused_; }

  // True when [address, address + length) lies inside one RAM region.
  static bool InRam(std::uint32_t address, std::uint64_t length);

 private:
  bool Loaded(std::uint32_t address) const;

  SparseMemory ram_;
  std::vector<Write> writes_;
  std::uint32_t entry_ = 0;
  int refused_ = 0;
};

}  // namespace veltra::sim
