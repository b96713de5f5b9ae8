#include "sim/fx3_rom.h"

namespace veltra::sim {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kRequestLoad = 0xA0;
constexpr std::uint32_t kMaxWrite = 2048;

struct Region {
  std::uint32_t base;
  std::uint32_t size;
};
// The controller's RAM: instruction TCM, data TCM, system RAM.
constexpr Region kRamRegions[] = {
    {0x00000000, 0x4000},
    {0x10000000, 0x2000},
    {0x40000000, 0x80000},
};

}  // namespace

bool Fx3Rom::InRam(std::uint32_t address, std::uint64_t length) {
  for (const Region& region : kRamRegions) {
    if (address >= region.base && static_cast<std::uint64_t>(address) + length <=
                                      static_cast<std::uint64_t>(region.base) + region.size) {
      return true;
    }
  }
  return false;
}

bool Fx3Rom::Loaded(std::uint32_t address) const {
  for (const Write& write : writes_) {
    if (address >= write.address && address - write.address < write.length) {
      return true;
    }
  }
  return false;
}

Fx3Rom::Result Fx3Rom::OnRequest(const SetupPacket& setup, const std::uint8_t* data) {
  const std::uint32_t address = (static_cast<std::uint32_t>(setup.wIndex) << 16) | setup.wValue;
  const bool load = setup.bmRequestType == kVendorOut && setup.bRequest == kRequestLoad;
  if (load && setup.wLength == 0 && Loaded(address)) {
    entry_ = address;
    return Result::kStart;
  }
  if (load && setup.wLength != 0 && data != nullptr && setup.wLength <= kMaxWrite &&
      InRam(address, setup.wLength)) {
    ram_.Write(address, data, setup.wLength);
    writes_.push_back(Write{address, setup.wLength});
    return Result::kAccepted;
  }
  ++refused_;
  return Result::kRefused;
}

void Fx3Rom::Restart() {
  ram_.Clear();
  writes_.clear();
  entry_ = 0;
  refused_ = 0;
}

std::vector<std::uint8_t> Fx3Rom::Ram(std::uint32_t address, std::size_t length) const {
  return ram_.Read(address, length);
}

}  // namespace veltra::sim
