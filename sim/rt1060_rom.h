// The NXP i.MX RT1060 ROM's Serial Download Protocol over HID, as a component of the NXP-based
// camera (sim/cameras/nxp_camera.h) in its ROM mode, 1FC9:0135.
//
// Model:
//  - ERROR_STATUS is answered (nothing changes).
//  - WRITE_FILE opens a load of `count` bytes at `address` (the whole range in RAM); the data
//    reports that follow fill it in order, each carrying up to 1024 bytes, and the load completes
//    when `count` bytes have arrived. Bytes of a data report beyond the count are dropped.
//  - A command report while a load is still open closes it incomplete.
//  - JUMP_ADDRESS to the start of a completed load starts that program (the flash loader); any
//    other jump is refused and the ROM stays.
//  - Every other command, a data report without an open load, and anything unreadable are
//    refused; the report itself was still delivered (the ROM answers with an error status).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/nxp_protocol.h"
#include "sim/sparse_memory.h"

namespace veltra::sim {

constexpr std::uint16_t kRt1060RomPid = 0x0135;

// The chip's RAM: instruction TCM, data TCM, on-chip RAM. True when the range lies in one.
bool InRt1060Ram(std::uint32_t address, std::uint64_t length);

class Rt1060Rom {
 public:
  enum class Result { kAccepted, kRefused, kJump };
  struct Load {
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    std::uint32_t received = 0;
    bool complete() const { return received == count; }
  };

  Result OnReport(const std::uint8_t* report, std::size_t length);
  // Power-on: RAM cleared, nothing loaded or logged.
  void Restart();

  std::vector<std::uint8_t> Ram(std::uint32_t address, std::size_t length) const;
  std::vector<nxp::SdpCommand> Commands() const { return commands_; }
  std::vector<Load> Loads() const { return loads_; }
  // Data reports received (whether they were taken or not).
  int DataReports() const { return dataReports_; }
  std::uint32_t JumpAddress() const { return jump_; }
  // What the ROM refused, one line each.
  std::vector<std::string> Errors() const { return errors_; }

 private:
  Result OnCommand(const nxp::SdpCommand& command);
  Result OnData(const std::uint8_t* data, std::size_t length);
  Result Refuse(const std::string& why);
  void CloseLoad();

  SparseMemory ram_;
  std::vector<nxp::SdpCommand> commands_;
  std::vector<Load> loads_;
  bool loadOpen_ = false;
  int dataReports_ = 0;
  std::uint32_t jump_ = 0;
  std::vector<std::string> errors_;
};

}  // namespace veltra::sim
