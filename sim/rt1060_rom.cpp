#include "sim/rt1060_rom.h"

#include <algorithm>

namespace veltra::sim {

namespace {

struct Region {
  std::uint32_t base;
  std::uint32_t size;
};
constexpr Region kRamRegions[] = {
    {0x00000000, 0x80000},   // ITCM
    {0x20000000, 0x80000},   // DTCM
    {0x20200000, 0x100000},  // OCRAM
};

}  // namespace

bool InRt1060Ram(std::uint32_t address, std::uint64_t length) {
  for (const Region& region : kRamRegions) {
    if (address >= region.base && static_cast<std::uint64_t>(address) + length <=
                                      static_cast<std::uint64_t>(region.base) + region.size) {
      return true;
    }
  }
  return false;
}

Rt1060Rom::Result Rt1060Rom::OnReport(const std::uint8_t* report, std::size_t length) {
  nxp::SdpCommand command;
  if (nxp::ParseSdpCommand(report, length, &command)) {
    return OnCommand(command);
  }
  const std::uint8_t* data = nullptr;
  std::size_t dataLength = 0;
  if (nxp::ParseSdpData(report, length, &data, &dataLength)) {
    ++dataReports_;
    return OnData(data, dataLength);
  }
  return Refuse("unreadable report");
}

Rt1060Rom::Result Rt1060Rom::OnCommand(const nxp::SdpCommand& command) {
  commands_.push_back(command);
  if (loadOpen_) {
    errors_.push_back("load closed incomplete by a command");
    CloseLoad();
  }
  switch (command.type) {
    case nxp::sdp::kErrorStatus:
      return Result::kAccepted;
    case nxp::sdp::kWriteFile:
      if (command.count == 0 || !InRt1060Ram(command.address, command.count)) {
        return Refuse("WRITE_FILE outside RAM");
      }
      loads_.push_back(Load{command.address, command.count, 0});
      loadOpen_ = true;
      return Result::kAccepted;
    case nxp::sdp::kJumpAddress:
      for (const Load& load : loads_) {
        if (load.address == command.address && load.complete()) {
          jump_ = command.address;
          return Result::kJump;
        }
      }
      return Refuse("JUMP_ADDRESS to no completed load");
    default:
      return Refuse("command not supported");
  }
}

Rt1060Rom::Result Rt1060Rom::OnData(const std::uint8_t* data, std::size_t length) {
  if (!loadOpen_) {
    return Refuse("data report without WRITE_FILE");
  }
  Load& load = loads_.back();
  const std::uint32_t take =
      static_cast<std::uint32_t>(std::min<std::size_t>(length, load.count - load.received));
  ram_.Write(load.address + load.received, data, take);
  load.received += take;
  if (load.complete()) {
    loadOpen_ = false;
  }
  return Result::kAccepted;
}

Rt1060Rom::Result Rt1060Rom::Refuse(const std::string& why) {
  errors_.push_back(why);
  return Result::kRefused;
}

void Rt1060Rom::CloseLoad() {
  loadOpen_ = false;
}

void Rt1060Rom::Restart() {
  *this = Rt1060Rom{};
}

std::vector<std::uint8_t> Rt1060Rom::Ram(std::uint32_t address, std::size_t length) const {
  return ram_.Read(address, length);
}

}  // namespace veltra::sim
