// Fuzz target: the bench's readers of the NXP HID reports (sim/nxp_protocol.h) and the two device
// models behind them: the RT1060 ROM (Serial Download Protocol) and the flash loader
// (MCU-Bootloader packets into the FlexSPI NOR model).
//
// Input: one byte (even: the reports go to the ROM, and after a jump the rest to the flash loader
// it started; odd: all go to the flash loader), then reports, each a 16-bit little-endian length
// (at most 2047) followed by that many bytes. Every report is handed at its exact length, so that
// a read past it shows. Each parser must accept exactly the reports its layout allows and give
// back the fields as they stand in the report, its payload never reaching past the report; the
// models must keep their own accounts straight (no load receives more than its count, a jump
// only to a completed load, a boot configuration block only on a configured flash).
#include <algorithm>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/flash_loader.h"
#include "sim/nxp_protocol.h"
#include "sim/rt1060_rom.h"

namespace veltra::fuzz {

namespace nxp_reports {

namespace nxp = sim::nxp;

constexpr std::size_t kMaxReportLength = 0x7FF;
constexpr std::size_t kMaxReports = 64;

void CheckSdpReaders(Findings& f, const std::uint8_t* r, std::size_t n) {
  nxp::SdpCommand c;
  const bool command = nxp::ParseSdpCommand(r, n, &c);
  f.Expect(command == (n >= 17 && r[0] == 1), "SDP command report judged wrongly");
  if (command) {
    f.Expect(c.type == ((r[1] << 8) | r[2]) && c.address == Be32(r + 3) && c.format == r[7] &&
                 c.count == Be32(r + 8) && c.data == Be32(r + 12),
             "SDP command fields differ from the report");
  }
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  const bool isData = nxp::ParseSdpData(r, n, &data, &length);
  f.Expect(isData == (n >= 2 && r[0] == 2), "SDP data report judged wrongly");
  if (isData) {
    f.Expect(data == r + 1 && length == std::min<std::size_t>(n - 1, nxp::kSdpMaxData),
             "SDP payload is not the bytes after the report ID");
  }
}

void CheckBlReaders(Findings& f, const std::uint8_t* r, std::size_t n) {
  const std::size_t packet = n >= 4 ? std::size_t{r[2]} | (std::size_t{r[3]} << 8) : 0;
  const bool packetFits = n >= 4 && packet <= n - 4;
  nxp::BlCommand c;
  const bool command = nxp::ParseBlCommand(r, n, &c);
  const std::size_t count = n >= 8 ? r[7] : 0;
  f.Expect(command == (packetFits && r[0] == 1 && packet >= 4 && count <= nxp::kBlMaxParameters &&
                       4 + 4 * count <= packet),
           "MCU-Bootloader command judged wrongly");
  if (command) {
    bool same = c.tag == r[4] && c.flags == r[5] && c.parameterCount == count;
    for (std::size_t i = 0; i < count; ++i) {
      same = same && c.parameters[i] == Le32(r + 8 + 4 * i);
    }
    f.Expect(same, "MCU-Bootloader command fields differ from the report");
  }
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  const bool isData = nxp::ParseBlData(r, n, &data, &length);
  f.Expect(isData == (packetFits && r[0] == 2), "MCU-Bootloader data judged wrongly");
  if (isData) {
    f.Expect(data == r + 4 && length == packet, "MCU-Bootloader payload is not the packet");
  }
}

void CheckRom(Findings& f, const sim::Rt1060Rom& rom, sim::Rt1060Rom::Result result) {
  bool jumpToLoad = false;
  for (const auto& load : rom.Loads()) {
    f.Expect(load.received <= load.count, "an SDP load received more than its count");
    jumpToLoad = jumpToLoad || (load.complete() && load.address == rom.JumpAddress());
  }
  if (result == sim::Rt1060Rom::Result::kJump) {
    f.Expect(jumpToLoad, "the ROM jumped to " + std::to_string(rom.JumpAddress()) +
                             ", which is no completed load");
  }
}

void CheckLoader(Findings& f, const sim::FlashLoader& loader, std::uint64_t dataOffered) {
  f.Expect(loader.DataBytes() <= dataOffered, "the flash loader took more data than it was sent");
  f.Expect(!loader.FcbWritten() || loader.Configured(),
           "a boot configuration block on a flash that was never configured");
}

}  // namespace nxp_reports

std::string CheckNxpReports(const std::uint8_t* data, std::size_t size) {
  using namespace nxp_reports;
  InputReader in(data, size);
  bool toRom = (in.Byte() & 1) == 0;
  sim::Rt1060Rom rom;
  sim::SparseMemory flash(0xFF);
  sim::FlashLoader loader(flash);
  std::uint64_t dataOffered = 0;
  Findings f;
  for (std::size_t i = 0; i < kMaxReports && !in.empty() && f.clean(); ++i) {
    const std::size_t length = in.U16() & kMaxReportLength;
    const Bytes bytes = in.Take(length);
    // An exact-size heap copy (a zero-length report still gets a valid pointer).
    std::unique_ptr<std::uint8_t[]> report(new std::uint8_t[bytes.empty() ? 1 : bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), report.get());
    CheckSdpReaders(f, report.get(), bytes.size());
    CheckBlReaders(f, report.get(), bytes.size());

    if (toRom) {
      const sim::Rt1060Rom::Result result = rom.OnReport(report.get(), bytes.size());
      CheckRom(f, rom, result);
      toRom = result != sim::Rt1060Rom::Result::kJump;
      continue;
    }
    const std::uint8_t* payload = nullptr;
    std::size_t payloadLength = 0;
    if (nxp::ParseBlData(report.get(), bytes.size(), &payload, &payloadLength)) {
      dataOffered += payloadLength;
    }
    if (loader.OnReport(report.get(), bytes.size()) == sim::FlashLoader::Result::kRestart) {
      loader.Restart();  // as the camera restarts the chip; the loader's counts start again
      dataOffered = 0;
    }
    CheckLoader(f, loader, dataOffered);
  }
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckNxpReports)
