// The three engines against the virtual DFU camera: what the camera ends up holding for payloads
// around the block sizes, the padding of the last block, and the time limit on a camera that
// stays busy. Faults at
// every transfer of whole updates are the fault matrix's.
#include "dfu/download_engines.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "dfu/dfu_fixture.h"
#include "image/firmware_image.h"
#include "sim/dfu_engine.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::DfuTest;
using test::McuText;
using test::PayloadBytes;
namespace req = sim::dfu_request;

constexpr std::uint32_t kSizes[] = {0, 1, 64, 1023, 1024, 1025, 2048 + 64};

// What an unpadded payload of n bytes looks like on the wire: full blocks, then the rest.
std::vector<std::uint32_t> Split(std::uint32_t n) {
  std::vector<std::uint32_t> blocks(n / 1024, 1024);
  if (n % 1024 != 0) {
    blocks.push_back(n % 1024);
  }
  return blocks;
}

std::vector<std::uintptr_t> OneTo(std::uintptr_t n) {
  std::vector<std::uintptr_t> out;
  for (std::uintptr_t i = 1; i <= n; ++i) {
    out.push_back(i);
  }
  return out;
}

// Fails a number of status reads that follow a given data block (counted from 0).
class FlakyStatusCamera : public sim::DfuCamera {
 public:
  bool OnControl(const SetupPacket& setup, std::uint8_t* data,
                 std::uint32_t* transferred) override {
    const bool in = (setup.bmRequestType & 0x80) != 0;
    if (!in && setup.wLength > 0) {
      ++dataBlocks_;
    }
    if (in && setup.bRequest == req::kGetStatus && dataBlocks_ == afterBlock + 1 && failures > 0) {
      --failures;
      if (timeOut) {
        SetFault({sim::FaultKind::kTimeout, 0});  // this read goes unanswered
        return DfuCamera::OnControl(setup, data, transferred);
      }
      *transferred = 0;
      return false;
    }
    if (stuckAfterFailures && in && setup.bRequest == req::kGetStatus && failures == 0) {
      stuckAfterFailures = false;
      SetFault({errorAfterFailures ? sim::FaultKind::kErrorState : sim::FaultKind::kStuckState, 0});
    }
    return DfuCamera::OnControl(setup, data, transferred);
  }
  int afterBlock = 0;
  int failures = 0;
  bool timeOut = false;             // the failed reads time out instead of stalling
  bool stuckAfterFailures = false;  // then the camera stays busy for good
  bool errorAfterFailures = false;  // ... or drops into dfuERROR instead

 private:
  int dataBlocks_ = 0;
};

class EngineTest : public DfuTest {
 public:
  void LoadMcu(const Bytes& text, const Bytes& image) {
    ASSERT_NE(test::SelectFirmware(update_, test::McuFile(text, image)), nullptr);
  }
  void LoadFpga(const Bytes& bitstream, const Bytes& image) {
    ASSERT_NE(test::SelectFirmware(update_, test::FpgaFile(bitstream, image)), nullptr);
  }
  void LoadCombined(std::uint8_t type, const Bytes& first, const Bytes& second) {
    ASSERT_NE(test::SelectFirmware(update_, test::CombinedFile(type, first, second)), nullptr);
  }

 protected:
  // A fresh camera and download state, as for a new update.
  void Fresh(const std::shared_ptr<sim::DfuCamera>& camera = nullptr) {
    if (camera_) {
      ReleaseDfuHandles(update_.link);
      bus_.Unplug(camera_.get());
    }
    update_.ClearDownload();
    dialog_.ClearRecords();
    camera_ = camera ? camera : std::make_shared<sim::DfuCamera>();
    bus_.Plug(camera_);
    ASSERT_EQ(InitializeDevice(update_.link, bus_.UsbInterfacePath(camera_.get()).c_str()), 1);
  }
};

// The pass of a combined or unmarked image, by image type (1, 2, 3, unmarked) and where the update
// stands; a direct start never inherits the first part an earlier start armed.
TEST(ChooseDownloadPassTest, FollowsTheImageTypeAndTheRouteAndNeverInheritsAPass) {
  const PassStep none = PassStep::kNone, next = PassStep::kFirstPartNext,
                 written = PassStep::kFirstPartWritten;
  const std::pair<PassRoute, const char*> rows[] = {
      {{none, false, false}, "1120"},    {{none, false, true}, "2120"},
      {{none, true, false}, "2222"},     {{next, false, true}, "1111"},
      {{written, false, false}, "2220"}, {{written, true, false}, "2222"}};
  for (const auto& [route, passes] : rows) {
    SCOPED_TRACE(passes);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(static_cast<int>(ChooseDownloadPass(i < 3 ? i + 1 : 0, route)), passes[i] - '0');
    }
  }
  UpdateSession update;
  update.BeginInUpdateMode(true);
  EXPECT_EQ(ChooseDownloadPass(2, update.Pass()), DownloadPass::kFirst);
  update.BeginInUpdateMode(false);
  EXPECT_EQ(ChooseDownloadPass(2, update.Pass()), DownloadPass::kSecond);
}

TEST_F(EngineTest, EveryEngineLeavesExactlyThePayloadsOnTheCamera) {
  const Bytes mcuText = McuText(25, 100);  // 3 chunks of whole lines
  for (const std::uint32_t n : kSizes) {
    SCOPED_TRACE("payload size " + std::to_string(n));
    const Bytes first = PayloadBytes(n, 11);
    const Bytes second = PayloadBytes(n, 12);
    const auto blocks = static_cast<std::uintptr_t>(Split(n).size());

    Fresh();
    LoadMcu(mcuText, second);
    ASSERT_EQ(DoDownloadMCUFirmware(update_), 1);
    EXPECT_EQ(camera_->Flash().mcu, mcuText);
    EXPECT_EQ(camera_->Flash().image, second);
    EXPECT_EQ(BlockLengths(req::kMcuData), std::vector<std::uint32_t>({1000, 1000, 500}));
    EXPECT_EQ(BlockLengths(req::kDownload), Split(n));
    EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{3 + blocks});
    EXPECT_EQ(Sent(WM_APP_PROGRESS), OneTo(3 + blocks));

    Fresh();
    LoadFpga(first, second);
    ASSERT_EQ(DoDownloadFPGAFirmware(update_), 1);
    EXPECT_EQ(camera_->Flash().fpga, first);
    EXPECT_EQ(camera_->Flash().image, second);
    EXPECT_EQ(BlockLengths(req::kFpgaData), Split(n));
    EXPECT_EQ(Sent(WM_APP_PROGRESS), OneTo(2 * blocks));

    // Combined image of type 2, first pass then second pass in two runs.
    Fresh();
    LoadCombined(2, first, second);
    ASSERT_EQ(DoDownload(update_), 1);
    EXPECT_EQ(camera_->Flash().image, first);
    EXPECT_EQ(BlockLengths(req::kDownload), Split(n));  // the first pass never pads
    ASSERT_EQ(DoDownload(update_), 1);
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(camera_->Flash().image, both);
    EXPECT_EQ(Sent(WM_APP_PROGRESS), OneTo(2 * blocks));  // the count carries over
  }
}

TEST_F(EngineTest, SecondPassPadsALastBlockOfWholePacketsWithOneFFByte) {
  struct Row {
    std::uint32_t length;
    std::vector<std::uint32_t> wire;
  } rows[] = {{64, {65}}, {960, {961}}, {100, {100}}, {1024, {1024}}, {1088, {1024, 65}}, {0, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE("second part of " + std::to_string(row.length));
    Fresh();
    // Type 3 without the first-part flag writes the second part at once.
    const Bytes second = PayloadBytes(row.length, 3);
    LoadCombined(3, PayloadBytes(10, 4), second);
    ASSERT_EQ(DoDownload(update_), 1);
    EXPECT_EQ(BlockLengths(req::kDownload), row.wire);
    EXPECT_EQ(camera_->Flash().image, second);  // the camera drops the terminator byte
    // A fresh total for the second part alone.
    EXPECT_EQ(Sent(WM_APP_ERASE_START),
              std::vector<std::uintptr_t>{static_cast<std::uintptr_t>(Split(row.length).size())});
  }
}

TEST_F(EngineTest, CombinedImageIsErasedOnlyOncePerSelection) {
  auto camera = std::make_shared<FlakyStatusCamera>();
  camera->failures = 1;  // the first pass fails after its first block
  Fresh(camera);
  LoadCombined(1, PayloadBytes(3000, 1), PayloadBytes(100, 2));
  EXPECT_EQ(DoDownload(update_), 0);
  EXPECT_EQ(camera_->Flash().eraseCount, 1);

  // The user retries without browsing again (the camera has been power-cycled meanwhile): the
  // first pass runs again without an erase.
  camera_->engine().Restart();
  update_.ClearDownload();
  EXPECT_EQ(DoDownload(update_), 1);
  EXPECT_EQ(camera_->Flash().eraseCount, 1);
}

// What each status wait may cost on the program's clock: slow erases and status reads the
// camera leaves unanswered (5 s each) are waited out; a camera that stays busy is given up after
// the busy limit, and no block waits longer than the block limit whatever the mix.
TEST_F(EngineTest, StatusWaitsOutSlowErasesAndTimeOutsWithinItsLimits) {
  // The erase rows run the first pass of a combined image (erase, then blocks under the ordinary
  // rule); the time-out rows the MCU engine, whose first chunk is a first block.
  struct Row {
    const char* what;
    bool mcu;
    std::uint32_t eraseMs;
    int timeOuts;  // unanswered status reads after the first block
    bool stuck;    // then the camera never leaves dfuDNBUSY
    bool error;    // or drops into dfuERROR, which it answers from then on
    int result;
    std::uint64_t atLeastMs, belowMs;
  } const rows[] = {
      {"two-minute erase", false, 120000, 0, false, false, 1, 120000, 121000},
      {"erase, then stuck", false, 2000, 0, true, false, 0, kStatusBusyLimitMs,
       kStatusBusyLimitMs + 1000},
      {"twelve time-outs on the first block", true, 0, 12, false, false, 1, 70000, 75000},
      {"time-outs, then stuck", true, 0, 100, true, false, 0, kBlockWaitLimitMs,
       kBlockWaitLimitMs + 5100},
      // dfuERROR is no busy state: the wait ends at the first answer that reports it.
      {"dfuERROR after the first block", true, 0, 0, true, true, 0, 0, 1000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto camera = std::make_shared<FlakyStatusCamera>();
    camera->failures = row.timeOuts;
    camera->timeOut = true;
    Fresh(camera);
    camera->engine().SetEraseMs(row.eraseMs);
    camera->stuckAfterFailures = row.stuck;
    camera->errorAfterFailures = row.error;
    const Bytes image = PayloadBytes(3000, 1);
    const std::uint64_t start = clock_.NowMs();
    if (row.mcu) {
      LoadMcu(McuText(25, 100), image);
      EXPECT_EQ(DoDownloadMCUFirmware(update_), row.result);
    } else {
      LoadCombined(1, image, PayloadBytes(100, 2));
      EXPECT_EQ(DoDownload(update_), row.result);
    }
    EXPECT_GE(clock_.NowMs() - start, row.atLeastMs);
    EXPECT_LT(clock_.NowMs() - start, row.belowMs);
    if (row.result == 1) {
      EXPECT_EQ(camera->Flash().image, image);
    }
  }
}

}  // namespace
}  // namespace veltra
