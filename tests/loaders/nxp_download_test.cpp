// The NXP RT1060 route on the bench, second stage: the image into the FlexSPI flash over
// MCU-Bootloader commands; the command sequence, the report sizes, the pauses and the answers read
// as the traffic log saw them. The first stage and the limits are the scenarios' and the fault
// matrix's.
#include "loaders/nxp_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/dialog_observer.h"
#include "core/resource_ids.h"
#include "core/update_session.h"
#include "dfu/download_engines.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/loader_fixture.h"
#include "loaders/nxp_reports.h"
#include "sim/cameras/nxp_camera.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  }
  return v;
}

class NxpDownloadTest : public LoaderTest {
 protected:
  std::shared_ptr<sim::NxpCamera> PlugCamera(sim::NxpCamera::Mode mode) {
    sim::NxpCamera::Options options;
    options.startMode = mode;
    auto camera = std::make_shared<sim::NxpCamera>(options);
    bus_.Plug(camera);
    EXPECT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
    return camera;
  }
  // The reports sent with the given flag: 1 for commands, 0 for data.
  std::vector<LogEntry> Reports(long long flag) const {
    std::vector<LogEntry> out;
    for (const LogEntry& e : Log("hid_out")) {
      if (e.flag == flag) {
        out.push_back(e);
      }
    }
    return out;
  }
  std::vector<std::uintptr_t> Sent(std::uint32_t message) const {
    std::vector<std::uintptr_t> params;
    for (const auto& m : dialog_.Messages()) {
      if (m.message == message) {
        params.push_back(m.wParam);
      }
    }
    return params;
  }
};

// Known behaviour: a lost SDP data report is only traced. The ROM takes every report whole, ends
// 256 bytes short and refuses the jump, while the route reports success.
TEST_F(NxpDownloadTest, StageTwoSendsItsCommandSequenceAndPacesTheData) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader);
  const Bytes image = fwgen::StampedPayload(20000, Version{}, 11);
  UpdateSession update;
  DialogObserver observer(update);
  update.SetObserver(&observer);
  test::SelectFirmware(update, image);
  dialog_.SetTimer(IDT_BLINK_ERASE, 400);

  EXPECT_EQ(DoDownloadNXPFirmware(update), 1);
  EXPECT_EQ(camera->FlashBytes(0x60001000, image.size()), image);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);

  struct Expected {
    std::uint8_t tag;
    std::uint8_t flags;
    std::vector<std::uint32_t> params;
  };
  const std::vector<Expected> expected = {
      {0x07, 0, {1, 0}},
      {0x05, 0, {0x2000, 4, 0xC0000001}},
      {0x05, 0, {0x2004, 4, 0}},
      {0x11, 0, {9, 0x2000}},
      {0x02, 0, {0x60000000, 100000, 0}},
      {0x05, 0, {0x3000, 4, 0xF000000F}},
      {0x11, 0, {9, 0x3000}},
      {0x07, 0, {11, 0}},
      {0x04, 1, {0x60001000, 20000, 0}},
      {0x0C, 0, {0x8380, 0}},
      {0x0C, 0, {0x3204, 0}},
  };
  const std::vector<LogEntry> commands = Reports(1);
  ASSERT_EQ(commands.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes& r = commands[i].out;
    EXPECT_EQ(commands[i].length, 1016);
    EXPECT_EQ(Le(r, 2, 2), 4 + 4 * expected[i].params.size());
    EXPECT_EQ(r[4], expected[i].tag);
    EXPECT_EQ(r[5], expected[i].flags);
    ASSERT_EQ(r[7], expected[i].params.size());
    for (std::size_t p = 0; p < expected[i].params.size(); ++p) {
      EXPECT_EQ(Le(r, 8 + 4 * p, 4), expected[i].params[p]);
    }
  }
  // Each data report is followed by a 50 ms pause, the last one too.
  const std::vector<LogEntry> data = Reports(0);
  ASSERT_EQ(data.size(), 20u);
  for (std::size_t k = 1; k < data.size(); ++k) {
    EXPECT_EQ(data[k].tMs - data[k - 1].tMs, 50u);
  }
  EXPECT_EQ(commands[9].tMs - data.back().tMs, 50u);
  // The answers read: one to each command before WriteMemory, and WriteMemory's two.
  const std::vector<LogEntry> answers = Log("hid_in");
  ASSERT_EQ(answers.size(), 10u);
  for (const LogEntry& answer : answers) {
    EXPECT_EQ(answer.result, 1016);
  }

  EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{20});
  EXPECT_EQ(Sent(WM_APP_PROGRESS).size(), 20u);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
  // The flash loader's session is over: the camera's restart is awaited, within timer 2's bound.
  EXPECT_TRUE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}

}  // namespace
}  // namespace veltra::test
