// The update worker against the virtual DFU camera: the command that settles each first state and
// the required pauses as the traffic log shows them on the program's clock. Its failures are the
// fault matrix's.
#include "camera/update_worker.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/dialog_observer.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_fixture.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "sim/dfu_engine.h"
#include "support/firmware_files.h"
#include "support/traffic_lines.h"

namespace veltra {
namespace {

using test::Bytes;
using test::DfuTest;
using test::McuText;
using test::PayloadBytes;
namespace req = sim::dfu_request;

const wchar_t kSuccessText[] =
    L"Firmware Downloaded Successfully!\r\nDonot Reset the Device.\r\nDevice will boot "
    L"automatically after completing firmware update!";

class WorkerTest : public DfuTest {
 protected:
  WorkerTest() { update_.SetObserver(&observer_); }
  UpdateSession update_;
  DialogObserver observer_{update_};
  // A fresh camera starting in the given state, and a fresh record of the dialog.
  void Replug(std::uint8_t state = 2) {
    if (camera_) {
      ReleaseDfuHandles();
      bus_.Unplug(camera_.get());
    }
    dialog_.ClearRecords();
    sim::DfuCamera::Options options;
    options.engine.initialState = state;
    PlugCamera(options);
  }
  // An unmarked image written in one pass (type 3 without the first-part flag).
  Bytes LoadSinglePass(std::size_t length = 1500) {
    const Bytes image = PayloadBytes(length, 9);
    EXPECT_NE(test::SelectFirmware(image), nullptr);
    return image;
  }
  // Requests without data stage the camera received before its first data block.
  std::vector<std::uint8_t> CommandsBeforeData() const {
    std::vector<std::uint8_t> commands;
    for (const auto& setup : camera_->engine().Requests()) {
      if ((setup.bmRequestType & 0x80) != 0) {
        continue;
      }
      if (setup.wLength > 0) {
        break;
      }
      commands.push_back(setup.bRequest);
    }
    return commands;
  }
  void ExpectBoxes(const std::vector<std::pair<std::wstring, std::uint32_t>>& expected,
                   const wchar_t* caption) {
    const auto boxes = dialog_.MessageBoxes();
    ASSERT_EQ(boxes.size(), expected.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].text, expected[i].first);
      EXPECT_EQ(boxes[i].caption, caption);
      EXPECT_EQ(boxes[i].style, expected[i].second);
    }
  }
};

TEST_F(WorkerTest, FirstStatusDecidesTheCommandThatBringsTheCameraToIdle) {
  struct Row {
    std::uint8_t state;
    std::vector<std::uint8_t> commands;
  } rows[] = {{0, {req::kDetach}},       {2, {}}, {5, {req::kAbort}}, {6, {}},
              {10, {req::kClearStatus}}, {13, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE("first state " + std::to_string(row.state));
    Replug(row.state);
    const Bytes payload = LoadSinglePass();

    EXPECT_EQ(UpdateFirmware(update_), 1u);
    EXPECT_EQ(CommandsBeforeData(), row.commands);
    EXPECT_EQ(camera_->Flash().image, payload);
    EXPECT_EQ(camera_->Flash().manifestCount, 1);  // the zero-length end was taken
    ExpectBoxes({{kSuccessText, 0x30}}, L"Success");
    EXPECT_EQ(Sent(WM_APP_UPDATE_DONE).size(), 1u);
  }
}

// One line of the traffic log: when it happened and which request it was.
struct LoggedTransfer {
  std::uint64_t t = 0;
  int requestType = 0;
  int request = 0;
};

std::vector<LoggedTransfer> ParseLog(const std::string& text) {
  std::vector<LoggedTransfer> out;
  for (const auto& line : test::TrafficOf(text, "control")) {
    const auto setup = line.at("setup");
    out.push_back(
        {line.at("t_ms").get<std::uint64_t>(), setup.at(0).get<int>(), setup.at(1).get<int>()});
  }
  return out;
}

TEST_F(WorkerTest, TrafficLogShowsTheRequiredPausesOnTheProgramsClock) {
  struct Row {
    const char* kind;
    int request;  // the pause after this request
    std::uint64_t pauseMs;
  } const pauses[] = {{"status", req::kGetStatus, 20},      {"mcu chunk", req::kMcuData, 50},
                      {"erase", req::kErase, 50},           {"mcu verify", req::kMcuVerify, 10000},
                      {"fpga verify", req::kFpgaVerify, 0}, {"image block", req::kDownload, 0}};
  EnableTrafficLog();
  PlugCamera();
  // An MCU update, then an FPGA update and a combined first pass on the same camera.
  test::SelectFirmware(test::McuFile(McuText(25, 100), PayloadBytes(1500, 2)));
  ASSERT_EQ(UpdateFirmware(update_), 1u);
  test::SelectFirmware(test::FpgaFile(PayloadBytes(1500, 1), PayloadBytes(1500, 2)));
  ASSERT_EQ(UpdateFirmware(update_), 1u);
  test::SelectFirmware(test::CombinedFile(2, PayloadBytes(1500, 1), PayloadBytes(1500, 2)));
  ASSERT_EQ(UpdateFirmware(update_), 1u);

  const auto log = ParseLog(log_.str());
  ASSERT_GT(log.size(), 20u);
  for (const auto& pause : pauses) {
    int seen = 0;
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
      if (log[i].request != pause.request) {
        continue;
      }
      ++seen;
      EXPECT_EQ(log[i + 1].t - log[i].t, pause.pauseMs) << pause.kind << " at line " << i + 1;
    }
    EXPECT_GT(seen, 0) << pause.kind;
  }
  // Every pause is the program's own: the clock moved by exactly their sum.
  EXPECT_EQ(log.back().t, clock_.NowMs() - 20);  // the last line is a status read
}

}  // namespace
}  // namespace veltra
