// The three engines against the virtual DFU camera: what the camera ends up holding, the blocks on
// the wire, the status-wait rules, the pass selection and the behaviour under injected faults.
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
  if (n % 1024 != 0) blocks.push_back(n % 1024);
  return blocks;
}

std::vector<std::uintptr_t> OneTo(std::uintptr_t n) {
  std::vector<std::uintptr_t> out;
  for (std::uintptr_t i = 1; i <= n; ++i) out.push_back(i);
  return out;
}

// Fails a number of status reads that follow a given data block (counted from 0).
class FlakyStatusCamera : public sim::DfuCamera {
 public:
  bool OnControl(const SetupPacket& setup, std::uint8_t* data,
                 std::uint32_t* transferred) override {
    const bool in = (setup.bmRequestType & 0x80) != 0;
    if (!in && setup.wLength > 0) ++dataBlocks_;
    if (in && setup.bRequest == req::kGetStatus && dataBlocks_ == afterBlock + 1 && failures > 0) {
      --failures;
      *transferred = 0;
      return false;
    }
    return DfuCamera::OnControl(setup, data, transferred);
  }
  int afterBlock = 0;
  int failures = 0;

 private:
  int dataBlocks_ = 0;
};

class EngineTest : public DfuTest {
 public:
  void LoadMcu(const Bytes& text, const Bytes& image) {
    SetPayload(imagePart1, text);
    SetPayload(imagePart2, image);
    std::vector<McuChunk> chunks;
    ASSERT_TRUE(SplitMcuChunks(imagePart1.data, imagePart1.length, &chunks));
    g_mcuChunkCount = static_cast<std::uint32_t>(chunks.size());
    g_bMCUImage = 1;
  }
  void LoadTwo(const Bytes& first, const Bytes& second) {
    SetPayload(imagePart1, first);
    SetPayload(imagePart2, second);
  }

 protected:
  // A fresh camera and download state, as for a new update.
  void Fresh(std::shared_ptr<sim::DfuCamera> camera = nullptr) {
    if (camera_) {
      ReleaseDfuHandles();
      bus_.Unplug(camera_.get());
    }
    ResetDownloadState();
    dialog_.ClearRecords();
    camera_ = camera ? camera : std::make_shared<sim::DfuCamera>();
    bus_.Plug(camera_);
    ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera_.get()).c_str()), 1);
  }
};

TEST_F(EngineTest, EveryEngineLeavesExactlyThePayloadsOnTheCamera) {
  const Bytes mcuText = McuText(25, 100);  // 3 chunks of whole lines
  for (const std::uint32_t n : kSizes) {
    SCOPED_TRACE("payload size " + std::to_string(n));
    const Bytes first = PayloadBytes(n, 11);
    const Bytes second = PayloadBytes(n, 12);
    const auto blocks = static_cast<std::uintptr_t>(Split(n).size());

    Fresh();
    LoadMcu(mcuText, second);
    ASSERT_EQ(DoDownloadMCUFirmware(), 1);
    EXPECT_EQ(camera_->Flash().mcu, mcuText);
    EXPECT_EQ(camera_->Flash().image, second);
    EXPECT_EQ(BlockLengths(req::kMcuData), std::vector<std::uint32_t>({1000, 1000, 500}));
    EXPECT_EQ(BlockLengths(req::kDownload), Split(n));
    EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{3 + blocks});
    EXPECT_EQ(Sent(WM_APP_PROGRESS), OneTo(3 + blocks));
    EXPECT_EQ(imagePart1.data, nullptr);
    EXPECT_EQ(imagePart2.data, nullptr);
    EXPECT_EQ(g_bDownloadComplete.load(), 1);

    Fresh();
    LoadTwo(first, second);
    ASSERT_EQ(DoDownloadFPGAFirmware(), 1);
    EXPECT_EQ(camera_->Flash().fpga, first);
    EXPECT_EQ(camera_->Flash().image, second);
    EXPECT_EQ(BlockLengths(req::kFpgaData), Split(n));
    EXPECT_EQ(Sent(WM_APP_PROGRESS), OneTo(2 * blocks));

    // Combined image of type 2, first pass then second pass in two runs.
    Fresh();
    g_imageType = 2;
    LoadTwo(first, second);
    ASSERT_EQ(DoDownload(), 1);
    EXPECT_EQ(g_bDownloadComplete.load(), 0);
    EXPECT_EQ(g_bFirstPartWritten.load(), 1);
    EXPECT_EQ(camera_->Flash().image, first);
    EXPECT_EQ(BlockLengths(req::kDownload), Split(n));  // the first pass never pads
    ASSERT_EQ(DoDownload(), 1);
    EXPECT_EQ(g_bDownloadComplete.load(), 1);
    EXPECT_EQ(g_bFirstPartWritten.load(), 0);
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
  } rows[] = {{64, {65}},     {128, {129}},       {960, {961}},         {100, {100}},
              {1024, {1024}}, {1088, {1024, 65}}, {2048, {1024, 1024}}, {0, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE("second part of " + std::to_string(row.length));
    Fresh();
    g_imageType = 3;  // type 3 without the first-part flag writes the second part at once
    const Bytes second = PayloadBytes(row.length, 3);
    LoadTwo(PayloadBytes(10, 4), second);
    ASSERT_EQ(DoDownload(), 1);
    EXPECT_EQ(BlockLengths(req::kDownload), row.wire);
    EXPECT_EQ(camera_->Flash().image, second);  // the camera drops the terminator byte
    const bool padded = row.length % 64 == 0 && row.length % 1024 != 0;
    EXPECT_EQ(camera_->Flash().terminatorBytesDropped, padded ? 1 : 0);
    // A fresh total for the second part alone.
    EXPECT_EQ(Sent(WM_APP_ERASE_START),
              std::vector<std::uintptr_t>{static_cast<std::uintptr_t>(Split(row.length).size())});
  }
}

TEST_F(EngineTest, FirstBlockToleratesUpTo999FailedStatusReadsOtherBlocksNone) {
  struct Row {
    const char* what;
    std::function<int()> run;
    int afterBlock;
    int failures;
    int result;
    const wchar_t* trace;
  } rows[] = {
      {"mcu first chunk", DoDownloadMCUFirmware, 0, 999, 1, nullptr},
      {"mcu first chunk", DoDownloadMCUFirmware, 0, 1000, 0,
       L"dodownload::FirstTimeGetstatus failed in if part ++\n"},
      {"mcu second chunk", DoDownloadMCUFirmware, 1, 1, 0,
       L"dodownload::Getstatus failed in else part ++\n"},
      {"mcu image block", DoDownloadMCUFirmware, 3, 1, 0, L"dodownload::Getstatus failed  ++\n"},
      {"second pass block 0", DoDownload, 0, 999, 1, nullptr},
      {"second pass block 0", DoDownload, 0, 1000, 0,
       L"dodownload::FirstTimeGetstatus failed in else part ++\n"},
      {"second pass block 1", DoDownload, 1, 1, 0,
       L"dodownload::Getstatus failed in else part ++\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.what) + " with " + std::to_string(row.failures) + " failures");
    auto camera = std::make_shared<FlakyStatusCamera>();
    camera->afterBlock = row.afterBlock;
    camera->failures = row.failures;
    Fresh(camera);
    system_->ClearTrace();
    if (std::string(row.what).rfind("mcu", 0) == 0) {
      LoadMcu(McuText(25, 100), PayloadBytes(2000, 1));
    } else {
      g_bMCUImage = 0;
      g_imageType = 3;
      LoadTwo({}, PayloadBytes(2000, 1));
    }
    EXPECT_EQ(row.run(), row.result);
    if (row.trace != nullptr) EXPECT_TRUE(Traced(row.trace));
  }
}

TEST_F(EngineTest, FirstPassGivesUpOnTheFirstFailedStatusRead) {
  auto camera = std::make_shared<FlakyStatusCamera>();
  camera->failures = 1;
  Fresh(camera);
  g_imageType = 2;
  LoadTwo(PayloadBytes(100, 1), PayloadBytes(100, 2));
  EXPECT_EQ(DoDownload(), 0);
  EXPECT_NE(imagePart1.data, nullptr);  // a failed pass keeps its payload
  EXPECT_TRUE(Traced(L"dodownload::Getstatus failed  ++\n"));
}

TEST_F(EngineTest, PassSelectionFollowsTheImageTypeAndTheUpdateFlags) {
  using P = DownloadPass;
  struct Row {
    std::uint8_t t;
    bool w, o, f, r;
    P pass;
  } rows[] = {
      {2, 0, 0, 0, 0, P::kFirst},  {2, 0, 1, 1, 0, P::kFirst},  {2, 0, 1, 0, 0, P::kSecond},
      {2, 1, 0, 1, 0, P::kSecond}, {1, 0, 0, 0, 0, P::kFirst},  {1, 0, 0, 0, 1, P::kSecond},
      {1, 0, 1, 1, 1, P::kFirst},  {1, 0, 1, 0, 0, P::kSecond}, {1, 1, 0, 1, 0, P::kSecond},
      {3, 0, 0, 1, 0, P::kFirst},  {3, 0, 0, 0, 0, P::kSecond}, {3, 1, 1, 1, 1, P::kSecond},
      {0, 0, 0, 1, 0, P::kFirst},  {0, 1, 1, 0, 0, P::kSecond}, {7, 1, 0, 1, 0, P::kSecond},
      {0, 0, 0, 0, 1, P::kNone},   {5, 1, 0, 0, 0, P::kNone},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ChooseDownloadPass(row.t, row.w, row.o, row.f, row.r), row.pass)
        << "t=" << int(row.t) << " w=" << row.w << " o=" << row.o << " f=" << row.f
        << " r=" << row.r;
  }

  // With no pass to run, DoDownload succeeds without a word to the camera.
  Fresh();
  g_imageType = 0;
  LoadTwo(PayloadBytes(10, 1), PayloadBytes(10, 2));
  EXPECT_EQ(DoDownload(), 1);
  EXPECT_TRUE(camera_->engine().Requests().empty());
  EXPECT_TRUE(Traced(L"DoDownload --\n"));
}

TEST_F(EngineTest, CombinedImageIsErasedOnlyOncePerSelection) {
  auto camera = std::make_shared<FlakyStatusCamera>();
  camera->failures = 1;  // the first pass fails after its first block
  Fresh(camera);
  g_imageType = 1;
  g_bCombinedImage = 1;
  LoadTwo(PayloadBytes(3000, 1), PayloadBytes(100, 2));
  EXPECT_EQ(DoDownload(), 0);
  EXPECT_EQ(g_bCombinedImage.load(), 0);
  EXPECT_EQ(camera_->Flash().eraseCount, 1);

  // The user retries without browsing again (the camera has been power-cycled meanwhile): the
  // first pass runs again without an erase.
  camera_->engine().Restart();
  ResetDownloadState();
  system_->ClearTrace();
  EXPECT_EQ(DoDownload(), 1);
  EXPECT_EQ(camera_->Flash().eraseCount, 1);
  EXPECT_TRUE(Traced(L"DoDownload CombinedImage not found\r\n"));
}

TEST_F(EngineTest, VerifyPhasesRunTheirTimersAndPauses) {
  Fresh();
  dialog_.SetTimer(IDT_BLINK_ERASE, 400);
  LoadMcu(McuText(5, 100), PayloadBytes(100, 1));
  ASSERT_EQ(DoDownloadMCUFirmware(), 1);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_VERIFY));
  EXPECT_TRUE(dialog_.Item(IDC_STATIC_UPDATING).visible);
  EXPECT_GE(clock_.NowMs(), 10000u);
  EXPECT_TRUE(Traced(L"dfu_status.bStatus = 1  dfu_status.bState = 13\r\n"));

  // A camera that refuses the verify (its status shows no MCU verified) fails the engine.
  Fresh();
  LoadMcu({}, PayloadBytes(100, 1));  // no MCU text: the camera has nothing to verify
  EXPECT_EQ(DoDownloadMCUFirmware(), 0);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_VERIFY));
  EXPECT_TRUE(Traced(L"DoDownloadMCUFirmware :: SendDataMCUVerifyFlashRequest failed ++\n"));

  // FPGA verify: before any data, no pause; a camera in the wrong state fails it.
  Fresh();
  camera_->engine().SetState(sim::dfu_state::kDnBusy);
  LoadTwo(PayloadBytes(10, 1), PayloadBytes(10, 2));
  EXPECT_EQ(DoDownloadFPGAFirmware(), 0);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_VERIFY));
  EXPECT_TRUE(camera_->Flash().fpga.empty());
  EXPECT_TRUE(Traced(L"DoDownloadFGPAFirmware :: SendDataFGPAVerifyFlashRequest failed ++\n"));
}

TEST_F(EngineTest, SlowCameraIsServedAndAStuckOneEndsTheEngineOnTheClock) {
  sim::DfuCamera::Options slow;
  slow.engine.busyPolls = 200;  // 4 s of polling per block
  Fresh(std::make_shared<sim::DfuCamera>(slow));
  LoadTwo(PayloadBytes(1500, 1), PayloadBytes(1500, 2));
  EXPECT_EQ(DoDownloadFPGAFirmware(), 1);

  Fresh();
  camera_->SetFault({sim::FaultKind::kStuckState, 4});  // the status read after the first block
  LoadTwo(PayloadBytes(1500, 1), PayloadBytes(1500, 2));
  const std::uint64_t start = clock_.NowMs();
  EXPECT_EQ(DoDownloadFPGAFirmware(), 0);
  EXPECT_GE(clock_.NowMs() - start, kStatusPollLimitMs);
  EXPECT_LT(clock_.NowMs() - start, kStatusPollLimitMs + 1000);
}

// Runs one engine on a fresh camera with the given fault and tells whether the camera then holds
// exactly what was to be sent.
struct FaultCase {
  const char* name;
  std::function<void(EngineTest&)> load;
  std::function<int()> run;
  std::function<bool(const sim::DfuFlash&)> complete;
};

TEST_F(EngineTest, AFaultAtAnyTransferNeverEndsInAFalseSuccess) {
  const Bytes text = McuText(15, 100);
  const Bytes first = PayloadBytes(1100, 1);
  const Bytes second = PayloadBytes(1088, 2);
  const FaultCase cases[] = {
      {"mcu", [&](EngineTest& t) { t.LoadMcu(text, second); }, DoDownloadMCUFirmware,
       [&](const sim::DfuFlash& f) { return f.mcu == text && f.image == second; }},
      {"fpga", [&](EngineTest& t) { t.LoadTwo(first, second); }, DoDownloadFPGAFirmware,
       [&](const sim::DfuFlash& f) { return f.fpga == first && f.image == second; }},
      {"first pass",
       [&](EngineTest& t) {
         g_imageType = 2;
         g_bCombinedImage = 1;
         t.LoadTwo(first, second);
       },
       DoDownload, [&](const sim::DfuFlash& f) { return f.image == first; }},
      {"second pass",
       [&](EngineTest& t) {
         g_imageType = 3;
         t.LoadTwo(first, second);
       },
       DoDownload, [&](const sim::DfuFlash& f) { return f.image == second; }},
  };
  const sim::FaultKind kinds[] = {sim::FaultKind::kTransferError, sim::FaultKind::kShortTransfer,
                                  sim::FaultKind::kStuckState, sim::FaultKind::kErrorState,
                                  sim::FaultKind::kDisconnect};
  for (const auto& c : cases) {
    Fresh();
    c.load(*this);
    ASSERT_EQ(c.run(), 1) << c.name;
    const int transfers = camera_->TransferCount();
    for (const auto kind : kinds) {
      for (int at = 0; at <= transfers; ++at) {
        SCOPED_TRACE(std::string(c.name) + " fault " + std::to_string(static_cast<int>(kind)) +
                     " at transfer " + std::to_string(at));
        Fresh();
        g_bMCUImage = 0;
        c.load(*this);
        camera_->SetFault({kind, at});
        const int result = c.run();
        if (at == transfers) {
          EXPECT_EQ(result, 1);  // past the last transfer the fault never happens
        } else if (kind == sim::FaultKind::kStuckState || kind == sim::FaultKind::kErrorState ||
                   kind == sim::FaultKind::kDisconnect) {
          EXPECT_EQ(result, 0);
        }
        if (result == 1) EXPECT_TRUE(c.complete(camera_->Flash()));
      }
    }
  }
}

}  // namespace
}  // namespace veltra
