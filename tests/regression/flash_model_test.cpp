// Found while fuzzing nxp_reports, which ran at 43 inputs a second: the bench's memory model
// (sim::SparseMemory, behind the flash loader's FlexSPI NOR flash and RAM) went through every range
// one byte at a time, with a map look-up per byte, and FillMemory wrote its pattern byte by byte.
// An input that configures the flash and erases all of its 8 MiB ran for over 13 s of CPU time in
// the fuzz build (libFuzzer's limit for one input is 10 s); a FillMemory of the 1 MiB OCRAM took a
// second. The memory now works page by page and FillMemory writes its range at once (both well
// under a second).
//
// The test replays the two inputs through the fuzz target's check and confirms what they must leave
// in the model. The page-wise memory's contents are what every NXP update and the nxp_reports
// target read back.
#include <gtest/gtest.h>

#include <vector>

#include "fuzz/fuzz_targets.h"
#include "sim/flash_loader.h"
#include "sim/sparse_memory.h"

namespace veltra::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Flash loader input: FillMemory(0x2000, 4, 0xC0000001), ConfigureMemory(9, 0x2000),
// FlashEraseRegion(0x60000000, 8 MiB, 0).
const Bytes kEraseWholeFlash = {
    0x01, 0x14, 0x00, 0x01, 0x00, 0x10, 0x00, 0x05, 0x00, 0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x04,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xc0, 0x10, 0x00, 0x01, 0x00, 0x0c, 0x00, 0x11, 0x00, 0x00,
    0x02, 0x09, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x10, 0x00, 0x02,
    0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x60, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00};
// Flash loader input: FillMemory(0x20200000, 1 MiB, 0x12345678).
const Bytes kFillOcram = {0x01, 0x14, 0x00, 0x01, 0x00, 0x10, 0x00, 0x05, 0x00, 0x00, 0x03, 0x00,
                          0x00, 0x20, 0x20, 0x00, 0x00, 0x10, 0x00, 0x78, 0x56, 0x34, 0x12};

// The reports of a target input: after the first byte, 16-bit little-endian lengths and bytes.
std::vector<Bytes> Reports(const Bytes& input) {
  std::vector<Bytes> out;
  for (std::size_t at = 1; at + 2 <= input.size();) {
    const std::size_t n = input[at] | (input[at + 1] << 8);
    at += 2;
    out.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(at),
                     input.begin() + static_cast<std::ptrdiff_t>(std::min(at + n, input.size())));
    at += n;
  }
  return out;
}

TEST(FuzzFindingFlashModel, WholeFlashEraseAndRamBankFillReplay) {
  EXPECT_EQ(CheckNxpReports(kEraseWholeFlash.data(), kEraseWholeFlash.size()), "");
  EXPECT_EQ(CheckNxpReports(kFillOcram.data(), kFillOcram.size()), "");

  sim::SparseMemory flash(0xFF);
  const Bytes programmed(3 * 4096, 0x00);
  flash.Write(sim::kFlexSpiBase + sim::kFlexSpiSize - 5000, programmed.data(), programmed.size());
  sim::FlashLoader loader(flash);
  for (const Bytes& report : Reports(kEraseWholeFlash)) {
    loader.OnReport(report.data(), report.size());
  }
  for (const Bytes& report : Reports(kFillOcram)) {
    loader.OnReport(report.data(), report.size());
  }
  const auto commands = loader.Commands();
  ASSERT_EQ(commands.size(), 4U);
  for (const auto& command : commands) {
    EXPECT_EQ(command.status, sim::BlStatus::kSuccess) << int{command.tag};
  }
  EXPECT_TRUE(flash.All(sim::kFlexSpiBase, sim::kFlexSpiSize, 0xFF));
  EXPECT_FALSE(flash.All(sim::kFlexSpiBase + sim::kFlexSpiSize, 4, 0xFF))
      << "the erase ends with the flash";
  const Bytes ram = loader.Ram(0x20200000, 0x100000);
  ASSERT_EQ(ram.size(), 0x100000U);
  EXPECT_EQ((Bytes{ram[0], ram[1], ram[2], ram[3], ram[0xFFFFC], ram[0xFFFFF]}),
            (Bytes{0x78, 0x56, 0x34, 0x12, 0x78, 0x12}));
  EXPECT_EQ(loader.Ram(0x20300000, 1), Bytes{0x00}) << "nothing written past the bank";
}

}  // namespace
}  // namespace veltra::fuzz
